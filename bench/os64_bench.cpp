// Micro-benchmarks of the two loops the patcher spends its computing time in:
// the boot checksum over the 1 MiB data region and the search for the
// built-in font.  Each is measured next to a plain version written here, so
// the gain shows in the same run, and the run ends with a summary against
// the performance targets.
#include "bench_image.h"

#include "boot_checksum.h"
#include "font_table.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

// The checksum as the steps describe it, one byte at a time into each word,
// with the carry, the rotation and the choice of cond_xor written as plain
// branches.  The accumulators live in local variables, as any careful plain
// version would have them.  This is the baseline the tool's loop is
// measured against.
void plain_checksum_feed(boot_checksum_state* s, const std::uint8_t* bytes,
                         std::size_t word_count)
{
	std::uint32_t sum = s->sum;
	std::uint32_t carries = s->carries;
	std::uint32_t xor_words = s->xor_words;
	std::uint32_t rot_sum = s->rot_sum;
	std::uint32_t cond_xor = s->cond_xor;
	std::uint32_t mix_sum = s->mix_sum;
	for (std::size_t i = 0; i < word_count; i++) {
		std::uint32_t w = 0;
		for (int k = 0; k < 4; k++)
			w = w << 8 | bytes[4 * i + k];
		std::uint32_t old_sum = sum;
		sum += w;
		if (sum < old_sum)
			carries++;
		xor_words ^= w;
		std::uint32_t shift = w % 32;
		std::uint32_t r = w;
		if (shift != 0)
			r = w << shift | w >> (32 - shift);
		rot_sum += r;
		if (w < cond_xor)
			cond_xor ^= r;
		else
			cond_xor ^= sum ^ w;
		mix_sum += rot_sum ^ w;
	}
	s->sum = sum;
	s->carries = carries;
	s->xor_words = xor_words;
	s->rot_sum = rot_sum;
	s->cond_xor = cond_xor;
	s->mix_sum = mix_sum;
}

// The plain checksum streamed from a file through a 32 KiB buffer, for
// images that hold the whole data region.
bool plain_checksum_file(std::FILE* f, std::uint32_t* word_1, std::uint32_t* word_2)
{
	static std::uint8_t buffer[0x8000];
	boot_checksum_state s;
	boot_checksum_start(&s);
	for (std::uint32_t done = 0; done < boot_region_size; done += sizeof buffer) {
		if (std::fread(buffer, 1, sizeof buffer, f) != sizeof buffer)
			return false;
		plain_checksum_feed(&s, buffer, sizeof buffer / 4);
	}
	boot_checksum_finish(&s, word_1, word_2);
	return true;
}

// The plain search: compare the signature at every offset.
bool plain_search(const std::uint8_t* image, std::uint32_t length, std::uint32_t* offset)
{
	for (std::uint32_t i = 0; i + font_signature_size <= length; i++) {
		if (std::memcmp(image + i, __font_data_libdragon, font_signature_size) == 0) {
			*offset = i;
			return true;
		}
	}
	return false;
}

struct bench_images {
	std::vector<std::uint8_t> image[3];
	std::uint32_t font_offset[3];
	std::FILE* region_file;
	std::uint32_t word_1;
	std::uint32_t word_2;
};

const std::uint32_t image_mib[3] = {1, 16, 64};

// The images every benchmark works on, made once.  The checksum benchmarks
// use the data region of the 64 MiB image; its expected checksum comes from
// the plain loop.
const bench_images& images()
{
	static bench_images all = [] {
		bench_images b;
		for (int k = 0; k < 3; k++)
			b.image[k] = make_bench_image(image_mib[k] << 20, &b.font_offset[k]);
		const std::vector<std::uint8_t>& big = b.image[2];
		b.region_file = std::tmpfile();
		if (b.region_file == nullptr ||
		    std::fwrite(big.data(), 1, big.size(), b.region_file) != big.size() ||
		    std::fflush(b.region_file) != 0) {
			std::perror("tmpfile");
			b.region_file = nullptr;
		}
		boot_checksum_state s;
		boot_checksum_start(&s);
		plain_checksum_feed(&s, &big[boot_region_start], boot_region_size / 4);
		boot_checksum_finish(&s, &b.word_1, &b.word_2);
		return b;
	}();
	return all;
}

void check_words(benchmark::State& state, std::uint32_t word_1, std::uint32_t word_2)
{
	if (word_1 != images().word_1 || word_2 != images().word_2)
		state.SkipWithError("the checksum differs from the plain loop's");
}

void checksum_memory(benchmark::State& state, bool plain)
{
	const std::uint8_t* region = &images().image[2][boot_region_start];
	std::uint32_t word_1 = 0;
	std::uint32_t word_2 = 0;
	for (auto _ : state) {
		boot_checksum_state s;
		boot_checksum_start(&s);
		if (plain)
			plain_checksum_feed(&s, region, boot_region_size / 4);
		else
			boot_checksum_feed(&s, region, boot_region_size / 4);
		boot_checksum_finish(&s, &word_1, &word_2);
		benchmark::DoNotOptimize(word_1);
		benchmark::DoNotOptimize(word_2);
	}
	check_words(state, word_1, word_2);
	state.SetBytesProcessed((std::int64_t)state.iterations() * boot_region_size);
}

// The data region read from a file that sits in the page cache, through
// the stream the tool would use.
void checksum_file(benchmark::State& state, bool plain)
{
	std::FILE* f = images().region_file;
	if (f == nullptr) {
		state.SkipWithError("no temporary file");
		return;
	}
	std::uint32_t file_left = (std::uint32_t)(images().image[2].size() - boot_region_start);
	std::uint32_t word_1 = 0;
	std::uint32_t word_2 = 0;
	for (auto _ : state) {
		bool ok = std::fseek(f, boot_region_start, SEEK_SET) == 0;
		if (plain)
			ok = ok && plain_checksum_file(f, &word_1, &word_2);
		else
			ok = ok && compute_boot_checksum(f, file_left, &word_1, &word_2) == 0;
		if (!ok) {
			state.SkipWithError("reading the temporary file failed");
			return;
		}
		benchmark::DoNotOptimize(word_1);
		benchmark::DoNotOptimize(word_2);
	}
	check_words(state, word_1, word_2);
	state.SetBytesProcessed((std::int64_t)state.iterations() * boot_region_size);
}

// The search over one of the images, whose only signature stands 5000 bytes
// before its end; the bytes counted are those up to the end of the signature.
void search(benchmark::State& state, int which, bool plain)
{
	const std::vector<std::uint8_t>& image = images().image[which];
	std::uint32_t offset = 0;
	bool found = false;
	for (auto _ : state) {
		if (plain)
			found = plain_search(image.data(), (std::uint32_t)image.size(), &offset);
		else
			found = locate_font_signature(image.data(), (std::uint32_t)image.size(), &offset);
		benchmark::DoNotOptimize(offset);
	}
	if (!found || offset != images().font_offset[which])
		state.SkipWithError("the signature was not found where it was put");
	state.SetBytesProcessed((std::int64_t)state.iterations() *
	                        (images().font_offset[which] + font_signature_size));
}

// Prints the results as the console does and keeps each benchmark's bytes
// per second: the median when runs are repeated, the one result otherwise.
class summary_reporter : public benchmark::ConsoleReporter {
public:
	summary_reporter() : benchmark::ConsoleReporter(OO_Tabular) {}

	void ReportRuns(const std::vector<Run>& reports) override
	{
		ConsoleReporter::ReportRuns(reports);
		for (const Run& run : reports) {
			if (run.error_occurred) {
				failed = true;
				continue;
			}
			bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
			if (run.run_type == Run::RT_Iteration && run.repetitions > 1)
				continue;
			if (run.run_type == Run::RT_Aggregate && !median)
				continue;
			auto rate = run.counters.find("bytes_per_second");
			if (rate != run.counters.end())
				speed[run.run_name.function_name] = rate->second.value;
		}
	}

	std::map<std::string, double> speed;
	bool failed = false;
};

// A value of 0 stands for a benchmark that was not run (filtered out) or
// failed.
void print_target(const char* what, double value, const char* unit, double target)
{
	if (value <= 0) {
		std::printf("  %-36s not measured\n", what);
		return;
	}
	std::printf("  %-36s %7.2f %-5s (target >= %.1f)  %s\n", what, value, unit, target,
	            value >= target ? "met" : "MISSED");
}

void print_summary(const summary_reporter& r)
{
	auto gb = [&](const char* name) {
		auto it = r.speed.find(name);
		return it == r.speed.end() ? 0.0 : it->second / 1e9;
	};
	auto ratio = [&](const char* name, const char* baseline) {
		return gb(baseline) > 0 ? gb(name) / gb(baseline) : 0.0;
	};
	std::printf("\nAgainst the targets (GB = 10^9 bytes; medians when repeated):\n");
	print_target("checksum, file in the page cache", gb("checksum/file"), "GB/s", 1.5);
	print_target("checksum, from memory", gb("checksum/memory"), "GB/s", 1.5);
	print_target("checksum / plain loop, file", ratio("checksum/file", "checksum/file_plain"), "x",
	             1.4);
	print_target("checksum / plain loop, memory",
	             ratio("checksum/memory", "checksum/memory_plain"), "x", 1.4);
	print_target("signature search, 64 MiB image", gb("search/64MiB"), "GB/s", 2.0);
}

} // namespace

int main(int argc, char** argv)
{
	benchmark::Initialize(&argc, argv);
	if (benchmark::ReportUnrecognizedArguments(argc, argv))
		return 1;

	benchmark::RegisterBenchmark("checksum/memory", checksum_memory, false);
	benchmark::RegisterBenchmark("checksum/memory_plain", checksum_memory, true);
	benchmark::RegisterBenchmark("checksum/file", checksum_file, false);
	benchmark::RegisterBenchmark("checksum/file_plain", checksum_file, true);
	for (int k = 0; k < 3; k++) {
		std::string name = "search/" + std::to_string(image_mib[k]) + "MiB";
		benchmark::RegisterBenchmark(name.c_str(), search, k, false);
		benchmark::RegisterBenchmark((name + "_plain").c_str(), search, k, true);
	}

	// Make the images before the first measurement starts.
	images();
	summary_reporter reporter;
	benchmark::RunSpecifiedBenchmarks(&reporter);
	benchmark::Shutdown();
	print_summary(reporter);
	return reporter.failed ? 1 : 0;
}
