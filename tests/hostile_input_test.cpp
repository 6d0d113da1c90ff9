// End-to-end tests with files that are not what they seem: FIFOs, devices,
// dangling links, unreadable files, impossible paths, and an "OS64.bak"
// that cannot be a backup.  Each must end with a clear "error: " line,
// exit status 1 and every file exactly as it was.
#include "run_program.h"
#include "sample_images.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::size_t image_size = 0x3000;
const std::size_t font_offset = 0x1234;

// Everything in a folder: names and, for regular files, their contents;
// other kinds of file are recorded by kind and link target.
std::map<std::string, std::string> snapshot(const std::string& folder)
{
	std::map<std::string, std::string> files;
	for (const std::string& name : list_folder(folder)) {
		std::string path = folder + "/" + name;
		struct stat st;
		if (lstat(path.c_str(), &st) != 0) {
			files[name] = "(vanished)";
		} else if (S_ISLNK(st.st_mode)) {
			files[name] = "link to " + std::filesystem::read_symlink(path).string();
		} else if (S_ISREG(st.st_mode)) {
			bytes data = read_file(path);
			files[name] = std::string(data.begin(), data.end());
		} else {
			files[name] = "mode " + std::to_string(st.st_mode);
		}
	}
	return files;
}

class HostileInput : public ::testing::Test {
protected:
	void SetUp() override
	{
		if (running_under_emulator())
			GTEST_SKIP() << "FIFOs, devices and POSIX permissions mean other things to a "
			                "program under an emulator";
		folder = make_scratch_folder();
		image = sample_image(image_size, font_offset, 21);
		font = sample_filler(2048, 22);
	}
	void TearDown() override
	{
		if (!folder.empty()) {
			chmod(folder.c_str(), 0700);
			remove_folder(folder);
		}
	}

	std::string path(const std::string& name) const { return folder + "/" + name; }

	// Runs the patcher and checks that it failed cleanly, with exactly the
	// given output, changing nothing.
	void expect_refused(const std::vector<std::string>& args, const std::string& out,
	                    const std::vector<std::string>& prefix = {})
	{
		auto before = snapshot(folder);
		std::vector<std::string> command = prefix;
		for (const std::string& word : fontpatch_command())
			command.push_back(word);
		command.insert(command.end(), args.begin(), args.end());
		program_result r = run_program(folder, command);
		EXPECT_EQ(r.out, out);
		EXPECT_EQ(r.err, "");
		EXPECT_EQ(r.status, 1);
		EXPECT_EQ(snapshot(folder), before);
	}

	std::string image_found() const
	{
		return banner() + "OS64.v64 found\nOS size: " + std::to_string(image_size) + "\n";
	}

	// What the run prints up to the backup, for a font file f.pf.
	std::string up_to_backup() const
	{
		std::string all = complete_run_output(image, "f.pf", font, false);
		return all.substr(0, all.find("file patched!\n"));
	}

	std::string folder;
	bytes image;
	bytes font;
};

TEST_F(HostileInput, ImageIsAFifo)
{
	ASSERT_EQ(mkfifo(path("OS64.v64").c_str(), 0644), 0);
	write_file(path("f.pf"), font);
	expect_refused({"f.pf"}, banner() + "error: Faild to open OS64.v64: Not a regular file\n");
}

TEST_F(HostileInput, FontIsAFifo)
{
	write_file(path("OS64.v64"), image);
	ASSERT_EQ(mkfifo(path("f.pf").c_str(), 0644), 0);
	expect_refused({"f.pf"}, image_found() + "error: Faild to open f.pf: Not a regular file\n");
}

TEST_F(HostileInput, ImageIsACharacterDevice)
{
	for (const char* device : {"/dev/zero", "/dev/null"}) {
		SCOPED_TRACE(device);
		ASSERT_EQ(symlink(device, path("OS64.v64").c_str()), 0);
		write_file(path("f.pf"), font);
		expect_refused({"f.pf"}, banner() + "error: Faild to open OS64.v64: Not a regular file\n");
		std::remove(path("OS64.v64").c_str());
	}
}

TEST_F(HostileInput, FontIsACharacterDevice)
{
	write_file(path("OS64.v64"), image);
	for (const std::string device : {"/dev/zero", "/dev/null"})
		expect_refused({device}, image_found() + "error: Faild to open " + device +
		                             ": Not a regular file\n");
}

TEST_F(HostileInput, DanglingSymbolicLinks)
{
	ASSERT_EQ(symlink("gone.v64", path("OS64.v64").c_str()), 0);
	write_file(path("f.pf"), font);
	expect_refused({"f.pf"},
	               banner() + "error: Faild to open OS64.v64: No such file or directory\n");

	std::remove(path("OS64.v64").c_str());
	write_file(path("OS64.v64"), image);
	ASSERT_EQ(symlink("gone.pf", path("link.pf").c_str()), 0);
	expect_refused({"link.pf"},
	               image_found() + "error: Faild to open link.pf: No such file or directory\n");
}

TEST_F(HostileInput, EmptyFontPath)
{
	write_file(path("OS64.v64"), image);
	expect_refused({""}, image_found() + "error: Faild to open : No such file or directory\n");
}

TEST_F(HostileInput, ExtremelyLongFontPaths)
{
	write_file(path("OS64.v64"), image);
	// One name longer than any file system allows, and a path of many short
	// names longer than the system's limit for a whole path.
	std::string long_name(5000, 'x');
	expect_refused({long_name},
	               image_found() + "error: Faild to open " + long_name + ": File name too long\n");
	std::string long_path;
	while (long_path.size() < 5000)
		long_path += "abcdefgh/";
	long_path += "f.pf";
	expect_refused({long_path},
	               image_found() + "error: Faild to open " + long_path + ": File name too long\n");
}

// An "OS64.bak" that holds no image must not pass for the backup: patching
// on would leave the original nowhere.  An empty one is what a run leaves
// when it is killed after claiming the name on a file system without hard
// links.
TEST_F(HostileInput, BackupThatCannotBeABackup)
{
	write_file(path("OS64.v64"), image);
	write_file(path("f.pf"), font);
	// Each maker returns 0 once it has made its kind of file.
	struct kind {
		const char* reason;
		int (*make)(const std::string& path);
	};
	const kind kinds[] = {
		{"it is empty", [](const std::string& p) { write_file(p, bytes()); return 0; }},
		{"Is a directory", [](const std::string& p) { return mkdir(p.c_str(), 0755); }},
		{"Not a regular file", [](const std::string& p) { return mkfifo(p.c_str(), 0644); }},
		{"No such file or directory",
		 [](const std::string& p) { return symlink("gone.bak", p.c_str()); }},
	};
	for (const kind& k : kinds) {
		SCOPED_TRACE(k.reason);
		ASSERT_EQ(k.make(path("OS64.bak")), 0);
		expect_refused({"f.pf"}, up_to_backup() +
		                             "error: backup error\nerror: OS64.bak holds no image to "
		                             "keep as the backup (" +
		                             k.reason + "); move it away and run again\n");
		std::filesystem::remove(path("OS64.bak"));
	}

	// Once it is moved away the run goes through.
	program_result r = run_fontpatch(folder, {"f.pf"});
	EXPECT_EQ(r.out, complete_run_output(image, "f.pf", font, false));
	EXPECT_EQ(r.status, 0);
	EXPECT_EQ(read_file(path("OS64.bak")), image);
	EXPECT_EQ(read_file(path("OS64.v64")), patched_image(image, font));
}

// Files the user cannot read or write.  Root reads everything, so when the
// tests run as root the program runs as the unprivileged user 65534 through
// setpriv, from a copy it is allowed to execute.
class Unprivileged : public HostileInput {
protected:
	void SetUp() override
	{
		HostileInput::SetUp();
		if (IsSkipped())
			return;
		chmod(folder.c_str(), 0755);
		work = folder;
		if (geteuid() != 0)
			return;
		if (access("/usr/bin/setpriv", X_OK) != 0)
			GTEST_SKIP() << "running as root without setpriv: root can read any file";
		std::string program = path("bin/os64-fontpatch");
		std::filesystem::create_directory(path("bin"));
		std::filesystem::copy_file(fontpatch_command().back(), program);
		chmod(path("bin").c_str(), 0755);
		chmod(program.c_str(), 0755);
		std::filesystem::create_directory(path("run"));
		prefix = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
		          program};
		work = path("run");
		ASSERT_EQ(chown(work.c_str(), 65534, 65534), 0);
	}

	// Runs the patcher in the work folder as the unprivileged user and
	// checks that it failed cleanly without changing anything.
	void expect_refused_in_work(const std::vector<std::string>& args, const std::string& out)
	{
		auto before = snapshot(work);
		std::vector<std::string> command = prefix;
		if (command.empty())
			command = fontpatch_command();
		command.insert(command.end(), args.begin(), args.end());
		program_result r = run_program(work, command);
		EXPECT_EQ(r.out, out);
		EXPECT_EQ(r.err, "");
		EXPECT_EQ(r.status, 1);
		EXPECT_EQ(snapshot(work), before);
	}

	void put(const std::string& name, const bytes& data, mode_t mode)
	{
		std::string file = work + "/" + name;
		write_file(file, data);
		if (geteuid() == 0) {
			ASSERT_EQ(chown(file.c_str(), 65534, 65534), 0);
		}
		chmod(file.c_str(), mode);
	}

	std::vector<std::string> prefix;
	std::string work;
};

TEST_F(Unprivileged, UnreadableImage)
{
	put("OS64.v64", image, 0200);
	put("f.pf", font, 0644);
	expect_refused_in_work({"f.pf"},
	                       banner() + "error: Faild to open OS64.v64: Permission denied\n");
}

TEST_F(Unprivileged, UnreadableFont)
{
	put("OS64.v64", image, 0644);
	put("f.pf", font, 0200);
	expect_refused_in_work({"f.pf"},
	                       image_found() + "error: Faild to open f.pf: Permission denied\n");
}

TEST_F(Unprivileged, FolderThatCannotBeWritten)
{
	put("OS64.v64", image, 0644);
	put("f.pf", font, 0644);
	chmod(work.c_str(), 0555);
	expect_refused_in_work({"f.pf"}, up_to_backup() + "error: could not create the patched "
	                                                  "image beside OS64.v64: Permission "
	                                                  "denied\n");
	chmod(work.c_str(), 0755);
}

} // namespace
