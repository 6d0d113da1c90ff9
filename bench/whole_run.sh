#!/usr/bin/env bash
# Times complete patch runs against the cost of the I/O a run cannot avoid,
# measured in the same session: copying the same image with cp and syncing
# the copy to disk.  Another build of the patcher, an older one say, can be
# timed side by side with them.  Also measures the run's peak memory.
#
# usage: bench/whole_run.sh BUILD_DIR
#
# BUILD_DIR holds os64-fontpatch and bench/os64-bench-image (a build with
# OS64_BUILD_BENCHMARKS=ON).  The runs happen in BUILD_DIR/whole-run, on the
# file system of the build.  Settings, from the environment:
#   OS64_BENCH_MIB       image sizes in MiB, separated by spaces (default "64 1.5")
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
	# The target holds for large images; on small ones process start counts.
	r=$(ratio patch-run cp+sync)
	target=$(awk -v r="${r%% *}" -v mib="$mib" \
		'BEGIN { if (mib >= 64) printf "  (target <= 1.10: %s)", r <= 1.10 ? "met" : "MISSED" }')
	echo "Patch run / cp+sync: $r$target"
	if [ -n "$baseline" ]; then
		echo "Baseline / cp+sync: $(ratio baseline cp+sync)"
		echo "Patch run / baseline: $(ratio patch-run baseline)"
	fi

	# Peak memory: the largest maximum resident set size of a few runs.
	peak=0
	for k in 1 2 3; do
		eval "$prepare"
		kib=$(cd "$dir/run" && /usr/bin/time -f %M "$tool" font.pf 2>&1 >/dev/null | tail -n 1)
		[ "$kib" -gt "$peak" ] && peak=$kib
	done
	limit=$((image_kib + 2048))
	awk -v peak="$peak" -v image="$image_kib" -v limit="$limit" 'BEGIN {
		printf "Peak memory: %d KiB = image %d KiB + %d KiB (target <= image + 2048 KiB)  %s\n",
		       peak, image, peak - image, peak <= limit ? "met" : "MISSED"
	}'
	rm -rf "$dir/run"
done
