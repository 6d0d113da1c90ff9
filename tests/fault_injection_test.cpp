// Fails, one at a time, every system call that a complete run makes on the
// files it works with, and kills the run at each of them in turn, then
// checks that nothing was lost.  The calls are read from a clean run under
// strace, so the list follows the program wherever it changes.
//
// After every fault or crash:
// - the original image is whole in "OS64.v64" or in "OS64.bak";
// - "OS64.v64", where it exists, is the original or the complete patched
//   image under its own checksum, and nothing in between: never the patched
//   image under the original's checksum, which the console would not boot;
// - an "OS64.bak" that existed before the run is unchanged;
// - a run that ended by itself exits 1 with its error message and leaves no
//   temporary file, or exits 0 having done the complete job, and it prints
//   "done..." only when "OS64.v64" holds the patched image with its correct
//   checksum;
// - running the tool again does the sensible thing: it patches an original
//   image, refuses a patched one, and patches the backup once the user has
//   put it back; a leftover temporary file changes nothing.
//
// The image is copied into the temporary file by copy_file_range; a failure
// that means the copy cannot be made here must leave the run to write the
// whole image instead, as it reads it piece by piece.  Scenarios without
// that copy fail and stop the run at each call of that way, too.
#include "run_program.h"
#include "sample_images.h"
#include "syscall_trace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <set>
#include <sstream>

namespace {

const char font_name[] = "f.pf";
const char temp_pattern[] = "OS64.v64.tmp-*";
const int killed_status = 128 + 9;

// The patcher reads the image in pieces of 256 KiB.  The large scenarios use
// an image of several pieces, with its font inside the part the boot
// checksum covers and beyond the first piece.
const std::size_t small_image_size = 0x28000;
const std::size_t small_font_offset = 0x1801;
const std::size_t large_image_size = 0x140000;
const std::size_t large_font_offset = 0xE7803;

// How the folder and the file system look to a run.
struct scenario {
	const char* name;
	bool existing_backup;
	// Injections made into every call of a kind, to stand for a file system
	// that lacks a feature: "renameat2:error=EINVAL" for one that cannot
	// rename without replacing, "link:error=EPERM" for one without hard links.
	std::vector<std::string> always;
	std::size_t image_size = small_image_size;
	std::size_t font_offset = small_font_offset;
};

// A file system on which the kernel cannot copy between files.
const char no_kernel_copy[] = "copy_file_range:error=EXDEV";

std::ostream& operator<<(std::ostream& out, const scenario& s)
{
	return out << s.name;
}

// One system call of the clean run, to be failed or stopped.
struct call_point {
	std::string name;
	unsigned occurrence;
	std::string target;
	std::string arguments;
};

std::string describe(const call_point& point)
{
	std::ostringstream text;
	text << point.name << " #" << point.occurrence << " (" << point.arguments.substr(0, 90)
	     << ") on " << point.target;
	return text.str();
}

// What a folder holds after a run.
struct folder_state {
	bool has_image = false;
	bytes image;
	bool has_backup = false;
	bytes backup;
	bytes font;
	std::vector<std::string> temps;
	std::vector<std::string> others;
};

bool operator==(const folder_state& a, const folder_state& b)
{
	return a.has_image == b.has_image && a.image == b.image && a.has_backup == b.has_backup &&
	       a.backup == b.backup && a.font == b.font && a.temps == b.temps && a.others == b.others;
}

folder_state read_state(const std::string& folder)
{
	folder_state state;
	for (const std::string& name : list_folder(folder)) {
		if (name == "OS64.v64") {
			state.has_image = true;
			state.image = read_file(folder + "/" + name);
		} else if (name == "OS64.bak") {
			state.has_backup = true;
			state.backup = read_file(folder + "/" + name);
		} else if (name == font_name) {
			state.font = read_file(folder + "/" + name);
		} else if (name.rfind("OS64.v64.tmp-", 0) == 0) {
			state.temps.push_back(name);
		} else {
			state.others.push_back(name);
		}
	}
	return state;
}

std::string already_patched_output(const bytes& image, const bytes& font)
{
	return banner() + "OS64.v64 found\nOS size: " + std::to_string(image.size()) + "\n" +
	       font_name + " found\nnew font size: " + std::to_string(font.size()) +
	       "... ok!\nerror: internal font not found (already patched?)\n";
}

// Whether every line of text is one of the tool's failure messages.
bool only_failure_messages(const std::string& text)
{
	std::istringstream lines(text);
	std::string line;
	while (std::getline(lines, line))
		if (line.rfind("error: ", 0) != 0 && line != "Could not write new checksum to file!")
			return false;
	return true;
}

bool has_failure_message(const program_result& r)
{
	return r.out.find("\nerror: ") != std::string::npos || !r.err.empty();
}

int error_number(const std::string& name)
{
	static const std::pair<const char*, int> known[] = {
		{"EIO", EIO},       {"ENOSPC", ENOSPC}, {"EEXIST", EEXIST}, {"EINVAL", EINVAL},
		{"EPERM", EPERM},   {"ENOMEM", ENOMEM}, {"ENODEV", ENODEV}, {"EAGAIN", EAGAIN},
		{"EACCES", EACCES}, {"ENOSYS", ENOSYS}, {"EXDEV", EXDEV},
		{"EOPNOTSUPP", EOPNOTSUPP},
	};
	for (const auto& entry : known)
		if (name == entry.first)
			return entry.second;
	return 0;
}

// The last failure line of a run, from standard error if it has one.
std::string last_failure_line(const program_result& r)
{
	std::string last;
	for (const std::string* text : {&r.out, &r.err}) {
		std::istringstream lines(*text);
		std::string line;
		while (std::getline(lines, line))
			if (line.rfind("error: ", 0) == 0 || line == "Could not write new checksum to file!")
				last = line;
	}
	return last;
}

// A run stopped by a fault says what went wrong: its message carries the
// platform's text for the error, except for the fixed messages that carry
// none.
bool names_the_error(const program_result& r, const std::string& error)
{
	std::string line = last_failure_line(r);
	return line == "Could not write new checksum to file!" ||
	       line.rfind("error: OS64.bak holds no image", 0) == 0 ||
	       line.find(std::strerror(error_number(error))) != std::string::npos;
}

// The bytes the run wrote to its temporary file with write() after the call
// at.
unsigned long long written_to_temp_after(const std::vector<syscall_record>& calls,
                                         std::vector<syscall_record>::const_iterator at)
{
	unsigned long long total = 0;
	for (auto call = at; call != calls.end(); ++call)
		if (call->name == "write" && call->target == temp_pattern)
			total += std::strtoull(call->result.c_str(), nullptr, 10);
	return total;
}

class EveryCall : public ::testing::TestWithParam<scenario> {
protected:
	void SetUp() override
	{
		if (running_under_emulator())
			GTEST_SKIP() << "strace cannot follow a program run through an emulator";
		strace = find_strace();
		if (strace.empty())
			GTEST_SKIP() << "strace is not installed; .ci/run installs it";
		// strace works through ptrace, which some machines deny.
		program_result probe = run_program("/", {strace, "-f", "-o", "/dev/null", "true"});
		if (probe.status != 0)
			GTEST_SKIP() << "strace cannot trace a program here: " << probe.err;
		original = sample_image(GetParam().image_size, GetParam().font_offset, 11);
		font = sample_filler(2048, 12);
		if (GetParam().existing_backup)
			old_backup = sample_image(0x24000, 0x2345, 13);
		patched_old = with_font(original, GetParam().font_offset, font);
		patched_new = patched_image(original, font);
		log_folder = make_scratch_folder();
		always = GetParam().always;
	}

	void TearDown() override
	{
		if (!log_folder.empty())
			remove_folder(log_folder);
	}

	// A fresh folder laid out for the scenario.
	std::string prepare_folder() const
	{
		std::string folder = make_scratch_folder();
		write_file(folder + "/OS64.v64", original);
		write_file(folder + "/" + font_name, font);
		if (GetParam().existing_backup)
			write_file(folder + "/OS64.bak", old_backup);
		return folder;
	}

	// Runs the patcher in folder under strace with the scenario's own
	// injections and the extra one, and reads back the calls it made.
	program_result run_traced(const std::string& folder, const std::string& extra,
	                          std::vector<syscall_record>* calls) const
	{
		std::string log = log_folder + "/strace.log";
		// LeakSanitizer cannot work under ptrace; a sanitizer build would
		// otherwise fail every traced run at exit.
		std::vector<std::string> command = {strace, "-f", "-s", "16", "-o", log,
		                                    "-E", "ASAN_OPTIONS=detect_leaks=0"};
		std::vector<std::string> injections = always;
		if (!extra.empty())
			injections.push_back(extra);
		for (const std::string& injection : injections) {
			command.push_back("-e");
			command.push_back("inject=" + injection);
		}
		for (const std::string& word : fontpatch_command())
			command.push_back(word);
		command.push_back(font_name);
		program_result r = run_program(folder, command);
		bytes text = read_file(log);
		*calls = parse_strace_log(std::string(text.begin(), text.end()),
		                          {"OS64.v64", "OS64.bak", font_name, ".", temp_pattern});
		return r;
	}

	// The calls of a clean run on the files involved, leaving out those that
	// the scenario fails every time.
	// Runs the patcher in a fresh folder with the action (a fault or a
	// signal) aimed at the point's call, and returns the folder.  Under the
	// sanitizers the runtime maps memory of its own, not always the same
	// number of times, so a memory call's count can shift between runs;
	// a run in which the counted call is not the one of the clean run is
	// made again, a few times, before the caller's check fails on it.
	std::string run_at(const call_point& point, const std::string& action, program_result* r,
	                   std::vector<syscall_record>* calls) const
	{
		for (int attempt = 1;; attempt++) {
			std::string folder = prepare_folder();
			*r = run_traced(folder,
			                point.name + ":" + action + ":when=" +
			                        std::to_string(point.occurrence),
			                calls);
			// The end of the run has no file to its name.
			bool landed = std::any_of(calls->begin(), calls->end(), [&](const syscall_record& c) {
				return c.name == point.name && c.occurrence == point.occurrence &&
				       (c.target == point.target || point.name == "exit_group");
			});
			if (landed || attempt == 5)
				return folder;
			remove_folder(folder);
		}
	}

	std::vector<call_point> enumerate_points() const
	{
		std::string folder = prepare_folder();
		std::vector<syscall_record> calls;
		program_result r = run_traced(folder, "", &calls);
		bool backup_existed = GetParam().existing_backup;
		EXPECT_EQ(r.out, expected_output(original, backup_existed));
		EXPECT_EQ(r.err, "");
		EXPECT_EQ(r.status, 0);
		remove_folder(folder);

		std::set<std::string> always_failed;
		for (const std::string& injection : always)
			always_failed.insert(injection.substr(0, injection.find(':')));
		std::vector<call_point> points;
		for (const syscall_record& call : calls)
			if (!call.target.empty() && always_failed.count(call.name) == 0)
				points.push_back({call.name, call.occurrence, call.target, call.arguments});
		return points;
	}

	// The errors worth giving a call: EIO for all, a full disk where data
	// or a new name is written, and the answers that send the run down
	// another path.
	static std::vector<std::string> errors_for(const call_point& point)
	{
		std::vector<std::string> errors = {"EIO"};
		if (point.name == "write" || point.name == "fsync" || point.name == "fdatasync")
			errors.push_back("ENOSPC");
		if (point.name == "openat" && point.arguments.find("O_EXCL") != std::string::npos) {
			errors.push_back("EEXIST");
			errors.push_back("ENOSPC");
		}
		if (point.name == "renameat2") {
			errors.push_back("EEXIST");
			errors.push_back("EINVAL");
		}
		if (point.name == "link") {
			errors.push_back("EEXIST");
			errors.push_back("EPERM");
		}
		// The kernel's copy: a full disk, or no copy here at all, or one
		// that makes no progress.
		if (point.name == "copy_file_range")
			errors.insert(errors.end(),
			              {"ENOSPC", "ENOSYS", "EXDEV", "EOPNOTSUPP", "EINVAL", "retval=0"});
		return errors;
	}

	// Checks what any run, whole or broken off, may leave in the folder.
	void expect_nothing_lost(const folder_state& state, bool crashed) const
	{
		EXPECT_EQ(state.font, font);
		EXPECT_TRUE(state.others.empty()) << "unexpected file " << state.others[0];
		if (state.has_image && state.image == patched_old) {
			unbootable++;
			ADD_FAILURE() << "OS64.v64 is the patched image under the original's checksum";
		} else if (state.has_image) {
			EXPECT_TRUE(state.image == original || state.image == patched_new)
			    << "OS64.v64 is neither the original nor the patched image ("
			    << state.image.size() << " bytes)";
		}
		if (GetParam().existing_backup) {
			EXPECT_TRUE(state.has_backup && state.backup == old_backup)
			    << "the earlier OS64.bak changed";
			EXPECT_TRUE(state.has_image) << "OS64.v64 is gone";
			return;
		}
		EXPECT_TRUE((state.has_image && state.image == original) ||
		            (state.has_backup && state.backup == original))
		    << "the original image is neither in OS64.v64 nor in OS64.bak";
		if (state.has_backup && !crashed) {
			EXPECT_TRUE(state.backup == original) << "OS64.bak is not the original image";
		}
	}

	// Checks the output and the files of a run that ended by itself.
	void expect_clean_end(const program_result& r, const folder_state& state) const
	{
		EXPECT_TRUE(r.status == 0 || r.status == 1) << "exit status " << r.status << "\n"
		                                            << r.err;
		EXPECT_TRUE(only_failure_messages(r.err)) << "standard error: " << r.err;
		EXPECT_TRUE(state.temps.empty()) << "left " << state.temps[0];
		if (r.status == 0) {
			EXPECT_EQ(r.out, expected_output(original, GetParam().existing_backup));
			EXPECT_TRUE(state.image == patched_new) << "exit 0 without the patched image";
			EXPECT_TRUE(state.has_backup);
		} else {
			EXPECT_TRUE(has_failure_message(r)) << "exit 1 without a message:\n" << r.out;
			EXPECT_EQ(r.out.find("done..."), std::string::npos);
		}
	}

	// Runs the tool again after a fault or a crash, as a user would, and
	// once more on the backup where the first run had left a patched image
	// or none at all.
	void expect_sensible_rerun(const std::string& folder) const
	{
		folder_state before = read_state(folder);
		program_result r = run_fontpatch(folder, {font_name});
		folder_state after = read_state(folder);
		EXPECT_EQ(after.temps, before.temps) << "a leftover temporary file changed";
		EXPECT_EQ(r.err, "");

		bytes kept = GetParam().existing_backup ? old_backup : original;
		if (before.has_image && before.image == original && before.has_backup &&
		    before.backup.empty()) {
			// A run killed while it held the backup's name with an empty
			// file: the next run must not take that for a backup.
			EXPECT_EQ(r.out, refused_empty_backup_output());
			EXPECT_EQ(r.status, 1);
			EXPECT_TRUE(after == before) << "a run refusing the backup changed files";
			// The user removes the empty file, as the message says.
			std::remove((folder + "/OS64.bak").c_str());
			before = read_state(folder);
			r = run_fontpatch(folder, {font_name});
			after = read_state(folder);
			EXPECT_EQ(r.err, "");
		}
		if (before.has_image && before.image == original) {
			EXPECT_EQ(r.out, expected_output(original, before.has_backup));
			EXPECT_EQ(r.status, 0);
			EXPECT_TRUE(after.image == patched_new);
			EXPECT_TRUE(after.has_backup && after.backup == kept)
			    << "after running again, OS64.bak does not keep the original";
			EXPECT_EQ(after.temps, before.temps);
			return;
		}

		if (!before.has_image) {
			EXPECT_EQ(r.out, banner() + "error: Faild to open OS64.v64: No such file or "
			                            "directory\n");
			EXPECT_EQ(r.status, 1);
			EXPECT_TRUE(after == before) << "a run without OS64.v64 changed files";
			// The user moves the backup back into place.
			ASSERT_TRUE(before.has_backup);
			std::rename((folder + "/OS64.bak").c_str(), (folder + "/OS64.v64").c_str());
		} else {
			EXPECT_EQ(r.out, already_patched_output(before.image, font));
			EXPECT_EQ(r.status, 1);
			EXPECT_TRUE(after == before) << "a run on a patched image changed files";
			// The user copies the backup over the patched image.
			ASSERT_TRUE(before.has_backup);
			write_file(folder + "/OS64.v64", before.backup);
		}
		before = read_state(folder);
		r = run_fontpatch(folder, {font_name});
		after = read_state(folder);
		EXPECT_EQ(r.out, expected_output(before.image, before.has_backup));
		EXPECT_EQ(r.err, "");
		EXPECT_EQ(r.status, 0);
		EXPECT_TRUE(after.image == expected_image(before.image));
		EXPECT_TRUE(after.has_backup && after.backup == kept)
		    << "after running again, OS64.bak does not keep the original";
		EXPECT_EQ(after.temps, before.temps);
	}

	std::string refused_empty_backup_output() const
	{
		std::string start = expected_output(original, false);
		return start.substr(0, start.find("file patched!\n")) +
		       "error: backup error\nerror: OS64.bak holds no image to keep as the backup (it "
		       "is empty); move it away and run again\n";
	}

	// What a complete run prints, and the image it leaves, for a given
	// image.  The few answers are kept, since the plain checksum behind them
	// is slow in a sanitizer build and every point asks for them again.
	struct expected_run {
		bytes image;
		bool backup_exists;
		std::string out;
		bytes patched;
	};

	const expected_run& expected_for(const bytes& image, bool backup_exists) const
	{
		for (const expected_run& known : expected)
			if (known.backup_exists == backup_exists && known.image == image)
				return known;
		expected.push_back({image, backup_exists,
		                    complete_run_output(image, font_name, font, backup_exists),
		                    patched_image(image, font)});
		return expected.back();
	}

	const std::string& expected_output(const bytes& image, bool backup_exists) const
	{
		return expected_for(image, backup_exists).out;
	}

	const bytes& expected_image(const bytes& image) const
	{
		return expected_for(image, false).patched;
	}

	mutable std::deque<expected_run> expected;
	// The runs that left OS64.v64 patched under the original's checksum.
	mutable unsigned unbootable = 0;
	std::vector<std::string> always;
	std::string strace;
	std::string log_folder;
	bytes original;
	bytes font;
	bytes old_backup;
	bytes patched_old;
	bytes patched_new;
};

// The clean run must show the calls the checks are meant for; if the log
// could not be read, every loop below would pass on nothing.
void expect_the_usual_calls(const std::vector<call_point>& points, const scenario& s)
{
	bool existing_backup = s.existing_backup;
	auto has = [&](const std::string& name, const std::string& target) {
		return std::any_of(points.begin(), points.end(), [&](const call_point& p) {
			return p.name == name && p.target == target;
		});
	};
	EXPECT_TRUE(has("openat", "OS64.v64"));
	EXPECT_TRUE(has("read", "OS64.v64"));
	EXPECT_TRUE(has("read", font_name));
	EXPECT_TRUE(has("openat", temp_pattern));
	EXPECT_TRUE(has("write", temp_pattern));
	EXPECT_TRUE(has("fsync", temp_pattern));
	EXPECT_TRUE(has("close", temp_pattern));
	EXPECT_TRUE(has("rename", std::string(temp_pattern) + " -> OS64.v64"));
	EXPECT_TRUE(has("fsync", "."));
	// The checksum reached the disk with the copy: the image is read back,
	// and neither written nor synced again.
	EXPECT_FALSE(has("write", "OS64.v64"));
	EXPECT_FALSE(has("fsync", "OS64.v64"));
	if (!existing_backup) {
		EXPECT_TRUE(has("renameat2", "OS64.v64 -> OS64.bak") ||
		            has("link", "OS64.v64 -> OS64.bak") || has("rename", "OS64.v64 -> OS64.bak"));
	}
	bool kernel_copy = std::find(s.always.begin(), s.always.end(), no_kernel_copy) == s.always.end();
	EXPECT_EQ(has("copy_file_range", std::string("OS64.v64 -> ") + temp_pattern), kernel_copy);
}

TEST_P(EveryCall, FailsWithoutLosingAnything)
{
	std::vector<call_point> points = enumerate_points();
	expect_the_usual_calls(points, GetParam());
	unsigned injected = 0;
	unsigned absorbed = 0;
	for (const call_point& point : points) {
		for (const std::string& error : errors_for(point)) {
			SCOPED_TRACE(describe(point) + " failing with " + error);
			std::vector<syscall_record> calls;
			program_result r;
			std::string action = error.find('=') != std::string::npos ? error : "error=" + error;
			std::string folder = run_at(point, action, &r, &calls);
			auto hit = std::find_if(calls.begin(), calls.end(), [&](const syscall_record& c) {
				return c.name == point.name && c.occurrence == point.occurrence;
			});
			ASSERT_TRUE(hit != calls.end() && hit->injected && hit->target == point.target)
			    << "the fault did not land on the call of the clean run";
			injected++;
			// Every answer but these two means the copy cannot be made here:
			// the image is written, then the font and the checksum over it.
			if (point.name == "copy_file_range" && error != "EIO" && error != "ENOSPC") {
				EXPECT_EQ(r.status, 0) << "a copy that cannot be made stopped the run:\n"
				                       << r.out << r.err;
				EXPECT_EQ(written_to_temp_after(calls, hit), original.size() + font.size() + 8)
				    << "the run did not write the whole image after the copy failed";
			}
			if (r.status == 0) {
				absorbed++;
				std::printf("  %s: %s failing with %s, recovered\n", GetParam().name,
				            describe(point).c_str(), error.c_str());
			}
			folder_state state = read_state(folder);
			expect_nothing_lost(state, false);
			expect_clean_end(r, state);
			if (r.status == 1) {
				EXPECT_TRUE(names_the_error(r, error)) << r.out << r.err;
			}
			expect_sensible_rerun(folder);
			remove_folder(folder);
		}
	}
	std::printf("fault injection, %s: %zu calls, %u faults injected, %u runs recovered and "
	            "completed, %u ended with an error, %u left OS64.v64 patched under the "
	            "original's checksum\n",
	            GetParam().name, points.size(), injected, absorbed, injected - absorbed,
	            unbootable);
}

TEST_P(EveryCall, SurvivesBeingKilledAtAnyCall)
{
	std::vector<call_point> points = enumerate_points();
	expect_the_usual_calls(points, GetParam());
	// Killed on entering a call, the run never makes it: a stop at each call
	// is a stop between every two steps that change the files.  The last
	// stop comes after all of them.
	points.push_back({"exit_group", 1, "the end of the run", ""});
	unsigned killed = 0;
	for (const call_point& point : points) {
		SCOPED_TRACE("killed at " + describe(point));
		std::vector<syscall_record> calls;
		program_result r;
		std::string folder = run_at(point, "signal=KILL", &r, &calls);
		ASSERT_FALSE(calls.empty());
		const syscall_record& last = calls.back();
		ASSERT_TRUE(last.name == point.name && last.occurrence == point.occurrence &&
		            last.result == "?")
		    << "the run did not stop at the call of the clean run";
		ASSERT_EQ(r.status, killed_status);
		killed++;
		folder_state state = read_state(folder);
		expect_nothing_lost(state, true);
		if (r.out.find("done...") != std::string::npos) {
			EXPECT_TRUE(state.image == patched_new);
		}
		expect_sensible_rerun(folder);
		remove_folder(folder);
	}
	std::printf("crash points, %s: %u runs killed, one at each call, %u left OS64.v64 patched "
	            "under the original's checksum\n",
	            GetParam().name, killed, unbootable);
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, EveryCall,
    ::testing::Values(
        scenario{"fresh", false, {}},
        scenario{"existing_backup", true, {}},
        scenario{"fresh_without_renameat2", false, {"renameat2:error=EINVAL"}},
        scenario{"existing_backup_without_renameat2", true, {"renameat2:error=EINVAL"}},
        scenario{"fresh_without_links", false, {"renameat2:error=EINVAL", "link:error=EPERM"}},
        scenario{"existing_backup_without_links", true,
                 {"renameat2:error=EINVAL", "link:error=EPERM"}},
        // An image of several pieces; and both sizes where the kernel cannot
        // copy, so that the run writes the pieces it reads.
        scenario{"large_fresh", false, {}, large_image_size, large_font_offset},
        scenario{"large_existing_backup", true, {}, large_image_size, large_font_offset},
        scenario{"fresh_without_kernel_copy", false, {no_kernel_copy}},
        scenario{"large_fresh_without_kernel_copy", false, {no_kernel_copy}, large_image_size,
                 large_font_offset}),
    [](const ::testing::TestParamInfo<scenario>& info) { return std::string(info.param.name); });

TEST(StraceLog, FollowsFileDescriptorsAndPaths)
{
	const std::string log =
	    "7 openat(AT_FDCWD, \"/lib/libc.so.6\", O_RDONLY|O_CLOEXEC) = 3\n"
	    "7 read(3, \"\\177ELF\"..., 832) = 832\n"
	    "7 close(3)                          = 0\n"
	    "7 openat(AT_FDCWD, \"OS64.v64\", O_RDONLY|O_NONBLOCK) = 3\n"
	    "7 read(3, \"a, \\\"b) = 4\"..., 16) = 16\n"
	    "7 close(3)                          = 0\n"
	    "7 write(1, \"OS64.v64 found\\n\", 15) = 15\n"
	    "7 openat(AT_FDCWD, \"OS64.v64.tmp-7-0\", O_WRONLY|O_CREAT|O_EXCL, 0666) = 4\n"
	    "7 write(4, \"\\0\"..., 100) = -1 ENOSPC (No space left on device) (INJECTED)\n"
	    "7 openat(AT_FDCWD, \"OS64.v64\", O_RDONLY) = 5\n"
	    "7 copy_file_range(5, [0], 4, [0], 16, 0) = 16\n"
	    "7 renameat2(AT_FDCWD, \"OS64.v64\", AT_FDCWD, \"OS64.bak\", RENAME_NOREPLACE) = 0\n"
	    "7 rename(\"OS64.v64.tmp-7-0\", \"OS64.v64\") = ?\n"
	    "7 +++ killed by SIGKILL +++\n";
	std::vector<syscall_record> calls =
	    parse_strace_log(log, {"OS64.v64", "OS64.bak", temp_pattern});
	ASSERT_EQ(calls.size(), 13u);
	EXPECT_EQ(calls[1].target, "");
	EXPECT_EQ(calls[3].target, "OS64.v64");
	EXPECT_EQ(calls[4].name, "read");
	EXPECT_EQ(calls[4].occurrence, 2u);
	EXPECT_EQ(calls[4].target, "OS64.v64");
	EXPECT_EQ(calls[4].result, "16");
	EXPECT_EQ(calls[5].target, "OS64.v64");
	EXPECT_EQ(calls[6].target, "");
	EXPECT_EQ(calls[8].target, temp_pattern);
	EXPECT_TRUE(calls[8].injected);
	EXPECT_FALSE(calls[7].injected);
	EXPECT_EQ(calls[10].target, "OS64.v64 -> " + std::string(temp_pattern));
	EXPECT_EQ(calls[11].target, "OS64.v64 -> OS64.bak");
	EXPECT_EQ(calls[12].target, std::string(temp_pattern) + " -> OS64.v64");
	EXPECT_EQ(calls[12].result, "?");
}

TEST(StraceLog, FollowsMappingsOfWatchedFiles)
{
	const std::string log =
	    "9 openat(AT_FDCWD, \"/lib/libc.so.6\", O_RDONLY|O_CLOEXEC) = 3\n"
	    "9 mmap(NULL, 1974096, PROT_READ, MAP_PRIVATE|MAP_DENYWRITE, 3, 0) = 0x7f0000000000\n"
	    "9 close(3)                          = 0\n"
	    "9 mprotect(0x7f0000100000, 16384, PROT_READ) = 0\n"
	    "9 openat(AT_FDCWD, \"OS64.v64\", O_RDONLY|O_NOCTTY|O_NONBLOCK|O_CLOEXEC) = 3\n"
	    "9 mmap(NULL, 1310720, PROT_READ, MAP_PRIVATE|MAP_POPULATE, 3, 0) = -1 ENOMEM (Cannot "
	    "allocate memory) (INJECTED)\n"
	    "9 mmap(NULL, 1310720, PROT_READ, MAP_PRIVATE|MAP_POPULATE, 3, 0) = 0x7f1000001000\n"
	    "9 close(3)                          = 0\n"
	    "9 mincore(0x7f1000001000, 1310720, [1, 1, 1, ...]) = 0\n"
	    "9 mprotect(0x7f1000001000, 1310720, PROT_READ|PROT_WRITE) = 0\n"
	    "9 mprotect(0x7f1000141000, 4096, PROT_READ) = 0\n"
	    "9 munmap(0x7f1000001000, 1310720)   = 0\n"
	    "9 mmap(NULL, 1314816, PROT_READ|PROT_WRITE, MAP_PRIVATE|MAP_ANONYMOUS, -1, 0) = "
	    "0x7f1000000000\n"
	    "9 mprotect(0x7f1000001000, 4096, PROT_READ) = 0\n"
	    "9 openat(AT_FDCWD, \"OS64.v64\", O_RDONLY) = 4\n"
	    "9 mmap(NULL, 8192, PROT_READ, MAP_PRIVATE, 4, 0) = 0x7f2000000000\n"
	    "9 mmap(0x7f2000000000, 4096, PROT_READ, MAP_PRIVATE|MAP_FIXED|MAP_ANONYMOUS, -1, 0) = "
	    "0x7f2000000000\n"
	    "9 mincore(0x7f2000000000, 4096, 0x5600) = -1 EAGAIN (Resource temporarily "
	    "unavailable) (INJECTED)\n"
	    "9 mincore(0x7f2000001000, 4096, 0x5600) = ?\n";
	std::vector<syscall_record> calls = parse_strace_log(log, {"OS64.v64"});
	ASSERT_EQ(calls.size(), 19u);
	EXPECT_EQ(calls[1].target, "");
	EXPECT_EQ(calls[3].target, "");
	// The fifth argument names the file descriptor, failed or not.
	EXPECT_EQ(calls[5].target, "OS64.v64");
	EXPECT_TRUE(calls[5].injected);
	EXPECT_EQ(calls[6].name, "mmap");
	EXPECT_EQ(calls[6].occurrence, 3u);
	EXPECT_EQ(calls[6].target, "OS64.v64");
	// The mapping outlives the file descriptor.
	EXPECT_EQ(calls[8].target, "OS64.v64");
	EXPECT_EQ(calls[8].name, "mincore");
	EXPECT_EQ(calls[9].target, "OS64.v64");
	EXPECT_EQ(calls[9].occurrence, 2u);
	// Just past its end is outside the mapping.
	EXPECT_EQ(calls[10].target, "");
	EXPECT_EQ(calls[11].target, "OS64.v64");
	// Once unmapped, its addresses belong to whatever is mapped there next.
	EXPECT_EQ(calls[13].target, "");
	EXPECT_EQ(calls[15].target, "OS64.v64");
	// A mapping laid over part of another takes that part from it.
	EXPECT_EQ(calls[17].target, "");
	EXPECT_TRUE(calls[17].injected);
	EXPECT_EQ(calls[18].target, "OS64.v64");
	EXPECT_EQ(calls[18].result, "?");
}

} // namespace
