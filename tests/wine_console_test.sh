#!/bin/sh
# Runs the Windows program on a console, as a user in cmd.exe would, and
# checks that a font name beyond ASCII shows as itself: the program must
# switch the console to UTF-8 output.  script(1) gives Wine a terminal, and
# Wine gives the program a console on it.
#
# usage: wine_console_test.sh WINE PROGRAM MAKE_DEMO
set -eu

wine=$1
program=$2
make_demo=$3

folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cd "$folder"
"$make_demo" OS64.v64 "schrift-ä.pf"

# The pattern makes the program find the name itself, so what the console
# shows has come through the program's own conversion to UTF-8.
status=0
if ! script -qec "\"$wine\" \"$program\" 'schrift-*.pf'" /dev/null </dev/null \
	>console.txt 2>&1; then
	echo "the program failed" >&2
	status=1
fi
for line in "schrift-ä.pf found" "done..."; do
	if ! grep -aqF "$line" console.txt; then
		echo "the console does not show \"$line\"" >&2
		status=1
	fi
done
if [ $status -ne 0 ]; then
	echo "what the console showed:" >&2
	cat -v console.txt >&2
fi
exit $status
