#!/usr/bin/env bash
# Times complete patch runs on a large image against the cost of the I/O a
# run cannot avoid, measured in the same session: copying the same image with
# cp and syncing the copy to disk.  Also measures the run's peak memory.
#
# usage: bench/whole_run.sh BUILD_DIR
#
# BUILD_DIR holds os64-fontpatch and bench/os64-bench-image (a build with
# OS64_BUILD_BENCHMARKS=ON).  The runs happen in BUILD_DIR/whole-run, on the
# file system of the build.  Settings, from the environment:
#   OS64_BENCH_MIB     image size in MiB (default 64)
#   OS64_BENCH_RUNS    timed runs of each command per round (default 10)
#   OS64_BENCH_ROUNDS  rounds; each times both commands (default 3)
set -euo pipefail

build=${1:?usage: bench/whole_run.sh BUILD_DIR}
build=$(cd "$build" && pwd)
mib=${OS64_BENCH_MIB:-64}
runs=${OS64_BENCH_RUNS:-10}
rounds=${OS64_BENCH_ROUNDS:-3}
tool=$build/os64-fontpatch
make_image=$build/bench/os64-bench-image
work=$build/whole-run

for f in "$tool" "$make_image"; do
	if [ ! -x "$f" ]; then
		echo "whole_run.sh: $f is missing; build with -DOS64_BUILD_BENCHMARKS=ON first" >&2
		exit 1
	fi
done

# hyperfine times the runs and GNU time reports peak memory.  As root with
# apt-get (a fresh CI machine) they are installed; otherwise say what to do.
missing=()
command -v hyperfine >/dev/null || missing+=(hyperfine)
[ -x /usr/bin/time ] || missing+=(time)
if [ ${#missing[@]} -gt 0 ]; then
	if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null; then
		echo "whole_run.sh: installing ${missing[*]}"
		apt-get update -q >/dev/null
		DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}" >/dev/null
	else
		echo "whole_run.sh: needs ${missing[*]} (Debian packages: ${missing[*]})." >&2
		echo "Install them, e.g. 'sudo apt-get install ${missing[*]}', and run this again." >&2
		exit 1
	fi
fi

rm -rf "$work"
mkdir -p "$work/original"
"$make_image" "$mib" "$work/original/OS64.v64" "$work/original/font.pf"
image_kib=$(( $(stat -c %s "$work/original/OS64.v64") / 1024 ))

# Every timed command starts from the same state: a fresh folder holding the
# original image and the font, written out to disk, with the image in the
# page cache.  The patch run then reads, patches, writes and syncs it and
# refreshes its checksum; the floor copies it and syncs the copy.
prepare="rm -rf '$work/run' && mkdir '$work/run' && cp '$work/original/OS64.v64' '$work/original/font.pf' '$work/run/' && sync"
patch_run="cd '$work/run' && '$tool' font.pf >/dev/null"
floor="cp '$work/run/OS64.v64' '$work/run/copy.v64' && sync '$work/run/copy.v64'"

# One checked run first: the timings mean nothing if the run fails.
eval "$prepare"
if ! (cd "$work/run" && "$tool" font.pf >"$work/check.txt") || ! grep -q '^done\.\.\.$' "$work/check.txt"; then
	echo "whole_run.sh: the patch run failed:" >&2
	cat "$work/check.txt" >&2
	exit 1
fi

# The median of the numbers on standard input.
median() {
	sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# The individual times of one command from a hyperfine JSON export.
times_of() {
	awk -v name="$2" '
		/"command":/ { current = index($0, "\"command\": \"" name "\"") > 0 }
		/"times": \[/ { in_times = current; next }
		in_times && /\]/ { in_times = 0 }
		in_times { gsub(/[ ,]/, ""); print }
	' "$1"
}

echo "Whole runs on a $mib MiB image in $work, $rounds rounds of $runs runs each"
echo "(hyperfine's own reports: $work/round-*.txt)"
: >"$work/patch-run.times"
: >"$work/floor.times"
for round in $(seq "$rounds"); do
	hyperfine --style basic --warmup 1 --runs "$runs" \
		--prepare "$prepare" --prepare "$prepare" \
		--command-name patch-run "$patch_run" \
		--command-name cp+sync "$floor" \
		--export-json "$work/round-$round.json" >"$work/round-$round.txt" 2>&1
	times_of "$work/round-$round.json" patch-run >>"$work/patch-run.times"
	times_of "$work/round-$round.json" cp+sync >>"$work/floor.times"
	p=$(times_of "$work/round-$round.json" patch-run | median)
	f=$(times_of "$work/round-$round.json" cp+sync | median)
	awk -v r="$round" -v p="$p" -v f="$f" \
		'BEGIN { printf "  round %d: patch run %.1f ms, cp+sync %.1f ms, ratio %.2f\n", r, p * 1000, f * 1000, p / f }'
done
p=$(median <"$work/patch-run.times")
f=$(median <"$work/floor.times")
awk -v p="$p" -v f="$f" -v n="$(wc -l <"$work/floor.times")" 'BEGIN {
	ratio = p / f
	printf "Medians over all %d runs each: patch run %.1f ms, cp+sync %.1f ms\n", n, p * 1000, f * 1000
	printf "Ratio of medians: %.2f (target <= 1.5)  %s\n", ratio, ratio <= 1.5 ? "met" : "MISSED"
}'

# Peak memory: the largest maximum resident set size of a few runs.
peak=0
for k in 1 2 3; do
	eval "$prepare"
	kib=$(cd "$work/run" && /usr/bin/time -f %M "$tool" font.pf 2>&1 >/dev/null | tail -n 1)
	[ "$kib" -gt "$peak" ] && peak=$kib
done
limit=$((image_kib + 2048))
awk -v peak="$peak" -v image="$image_kib" -v limit="$limit" 'BEGIN {
	printf "Peak memory: %d KiB = image %d KiB + %d KiB (target <= image + 2048 KiB)  %s\n",
	       peak, image, peak - image, peak <= limit ? "met" : "MISSED"
}'
rm -rf "$work/run"
