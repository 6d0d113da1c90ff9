#!/usr/bin/env bash
# Times complete patch runs against the cost of the I/O a run cannot avoid,
# measured in the same session: copying the same image with cp and syncing
# the copy to disk.  Another build of the patcher, an older one say, can be
# timed side by side with them.  Also measures the run's peak memory, on
# each image and on a large one.  The images hold the built-in font 5000
# bytes before their end, the search's worst case.
#
# usage: bench/whole_run.sh BUILD_DIR
#
# BUILD_DIR holds os64-fontpatch and bench/os64-bench-image (a build with
# OS64_BUILD_BENCHMARKS=ON).  The runs happen in BUILD_DIR/whole-run, on the
# file system of the build.  Settings, from the environment:
#   OS64_BENCH_MIB       image sizes in MiB, separated by spaces (default "64 1.5")
#   OS64_BENCH_PEAK_MIB  size of the image the peak memory is measured on
#                        (default 512; 0 for none)
#   OS64_BENCH_RUNS      timed runs of each command per round (default 3)
#   OS64_BENCH_ROUNDS    rounds; each times every command, and they take
#                        turns at going first (default 10)
#   OS64_BENCH_BASELINE  a patcher to time beside this one: a program, or a
#                        git revision of this project, which is then built
#                        with the flags of BUILD_DIR in BUILD_DIR/baseline-REV
set -euo pipefail

build=${1:?usage: bench/whole_run.sh BUILD_DIR}
build=$(cd "$build" && pwd)
source=$(cd "$(dirname "$0")/.." && pwd)
sizes=${OS64_BENCH_MIB:-64 1.5}
peak_mib=${OS64_BENCH_PEAK_MIB:-512}
runs=${OS64_BENCH_RUNS:-3}
rounds=${OS64_BENCH_ROUNDS:-10}
baseline=${OS64_BENCH_BASELINE:-}
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

# A baseline given as a revision is built from that revision's sources, the
# patcher alone, with the build type and compiler of BUILD_DIR.
if [ -n "$baseline" ] && [ ! -x "$baseline" ]; then
	rev=$(git -C "$source" rev-parse --short "$baseline^{commit}")
	at=$build/baseline-$rev
	if [ ! -x "$at/build/os64-fontpatch" ]; then
		echo "whole_run.sh: building the patcher of $rev in $at"
		rm -rf "$at" && mkdir -p "$at/src"
		git -C "$source" archive "$rev" | tar -x -C "$at/src"
		cache() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
		cmake -S "$at/src" -B "$at/build" -DCMAKE_BUILD_TYPE="$(cache CMAKE_BUILD_TYPE)" \
			-DCMAKE_CXX_COMPILER="$(cache CMAKE_CXX_COMPILER)" -DOS64_BUILD_TESTS=OFF \
			-DOS64_BUILD_FONT_TOOL=OFF >"$at/configure.txt"
		cmake --build "$at/build" --target os64-fontpatch -j 2 >"$at/build.txt"
	fi
	baseline=$at/build/os64-fontpatch
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

# Prints the ratio of the medians of two commands' times over all rounds,
# and its range over the rounds.
ratio() {
	local all rounds_ratios
	all=$(awk -v a="$(median <"$dir/$1.times")" -v b="$(median <"$dir/$2.times")" \
		'BEGIN { printf "%.2f", a / b }')
	rounds_ratios=$(for r in $(seq "$rounds"); do
		awk -v a="$(times_of "$dir/round-$r.json" "$1" | median)" \
			-v b="$(times_of "$dir/round-$r.json" "$2" | median)" 'BEGIN { print a / b }'
	done | sort -g | awk 'NR == 1 { lo = $1 } { hi = $1 } END { printf "%.2f-%.2f", lo, hi }')
	echo "$all (rounds $rounds_ratios)"
}

# The largest maximum resident set size, in KiB, of three runs of a patcher
# in $dir/run, each prepared as for the timings.
peak_memory() {
	local peak=0 kib
	for k in 1 2 3; do
		eval "$prepare"
		kib=$(cd "$dir/run" && /usr/bin/time -f %M "$1" font.pf 2>&1 >/dev/null | tail -n 1)
		[ "$kib" -gt "$peak" ] && peak=$kib
	done
	echo "$peak"
}

echo "Machine: $(nproc) CPUs, $(uptime)"
rm -rf "$work"
for mib in $sizes; do
	dir=$work/$mib
	mkdir -p "$dir/original"
	"$make_image" "$mib" "$dir/original/OS64.v64" "$dir/original/font.pf" >/dev/null
	image_kib=$(($(stat -c %s "$dir/original/OS64.v64") / 1024))

	# Every timed command starts from the same state: a fresh folder holding
	# the original image and the font, written out to disk, with the image in
	# the page cache.  A patch run then reads, patches, writes and syncs it
	# and refreshes its checksum; the floor copies it and syncs the copy.
	prepare="rm -rf '$dir/run' && mkdir '$dir/run' && cp '$dir/original/OS64.v64' '$dir/original/font.pf' '$dir/run/' && sync"
	names=(patch-run)
	programs=("$tool")
	commands=("cd '$dir/run' && '$tool' font.pf >/dev/null")
	if [ -n "$baseline" ]; then
		names+=(baseline)
		programs+=("$baseline")
		commands+=("cd '$dir/run' && '$baseline' font.pf >/dev/null")
	fi
	names+=(cp+sync)
	commands+=("cp '$dir/run/OS64.v64' '$dir/run/copy.v64' && sync '$dir/run/copy.v64'")

	# One checked run of each patcher first: the timings mean nothing if a
	# run fails.
	for program in "${programs[@]}"; do
		eval "$prepare"
		if ! (cd "$dir/run" && "$program" font.pf >"$dir/check.txt") ||
			! grep -q '^done\.\.\.$' "$dir/check.txt"; then
			echo "whole_run.sh: the patch run of $program failed:" >&2
			cat "$dir/check.txt" >&2
			exit 1
		fi
	done

	echo "Whole runs on a $mib MiB image in $dir, $rounds rounds of $runs runs of each command"
	echo "(hyperfine's own reports: $dir/round-*.txt)"
	echo "Load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
	for round in $(seq "$rounds"); do
		arguments=()
		for k in "${!names[@]}"; do
			i=$(((k + round) % ${#names[@]}))
			arguments+=(--command-name "${names[i]}" "${commands[i]}")
		done
		hyperfine --style basic --warmup 1 --runs "$runs" --prepare "$prepare" \
			--export-json "$dir/round-$round.json" "${arguments[@]}" >"$dir/round-$round.txt" 2>&1
		for name in "${names[@]}"; do
			times_of "$dir/round-$round.json" "$name" >>"$dir/$name.times"
		done
	done
	echo "Load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
	for name in "${names[@]}"; do
		awk -v n="$name" -v t="$(median <"$dir/$name.times")" -v c="$(wc -l <"$dir/$name.times")" \
			'BEGIN { printf "  %-9s median %.1f ms over %d runs\n", n, t * 1000, c }'
	done
	# A large image is patched in about the time its copy takes; a small one,
	# where process start and the syncs count, in less.
	r=$(ratio patch-run cp+sync)
	target=$(awk -v r="${r%% *}" -v mib="$mib" 'BEGIN {
		limit = mib >= 64 ? 1.05 : 1.00
		printf("  (target %s %.2f: %s)", mib >= 64 ? "<=" : "<", limit,
		       (mib >= 64 ? r <= limit : r < limit) ? "met" : "MISSED") }')
	echo "Patch run / cp+sync: $r$target"
	if [ -n "$baseline" ]; then
		echo "Baseline / cp+sync: $(ratio baseline cp+sync)"
		echo "Patch run / baseline: $(ratio patch-run baseline)"
	fi

	for k in "${!programs[@]}"; do
		echo "Peak memory, ${names[k]}: $(peak_memory "${programs[k]}") KiB (image $image_kib KiB)"
	done
	rm -rf "$dir/run"
done

# The run's memory must not grow with the image: a large one shows it.
if [ "$peak_mib" != 0 ]; then
	dir=$work/peak-$peak_mib
	mkdir -p "$dir/original"
	"$make_image" "$peak_mib" "$dir/original/OS64.v64" "$dir/original/font.pf" >/dev/null
	prepare="rm -rf '$dir/run' && mkdir '$dir/run' && cp '$dir/original/OS64.v64' '$dir/original/font.pf' '$dir/run/' && sync"
	echo "Peak memory on a $peak_mib MiB image (the largest maximum resident set size of 3 runs, GNU time)"
	echo "Load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
	peak=$(peak_memory "$tool")
	awk -v peak="$peak" 'BEGIN {
		printf("  patch-run %d KiB (target <= 16384 KiB: %s)\n", peak, peak <= 16384 ? "met" : "MISSED") }'
	if [ -n "$baseline" ]; then
		echo "  baseline  $(peak_memory "$baseline") KiB"
	fi
	rm -rf "$dir"
fi
