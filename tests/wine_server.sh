#!/bin/sh
# Starts and stops the one Wine server that the end-to-end tests of the
# Windows program share, so that no run of the program pays for starting
# Wine afresh.  WINEPREFIX names the test run's own Wine prefix.
#
# usage: wine_server.sh start WINESERVER WINE PROGRAM
#        wine_server.sh stop WINESERVER
set -eu

action=$1
server=$2
log=$WINEPREFIX.log

case $action in
start)
	wine=$3
	program=$4
	if [ ! -f "$program" ]; then
		echo "$program is missing: build the Windows program first" \
		     "(cmake --workflow --preset windows or windows64)" >&2
		exit 1
	fi
	mkdir -p "$WINEPREFIX"
	# A server left behind by an interrupted run would keep its old state.
	"$server" -k >/dev/null 2>&1 || true
	"$server" -w >/dev/null 2>&1 || true
	# -p keeps the server running between the runs of the program until
	# it is told to stop; should the stop never come (an interrupted test
	# run), it ends ten minutes after the last run.  It and the Windows
	# services that wineboot starts outlive this script, so none of them
	# may hold CTest's output pipes open.
	"$server" -p600 </dev/null >>"$log" 2>&1
	# Set up the Wine prefix and start its services now, rather than in
	# whichever test happens to run first.
	if ! "$wine" wineboot --init </dev/null >>"$log" 2>&1; then
		cat "$log" >&2
		exit 1
	fi
	# One run of the program, in a folder without an image, proves that it
	# starts under this Wine.
	banner=$(cd "$WINEPREFIX" && "$wine" "$program" </dev/null 2>&1) || true
	case $banner in
	"OS64 font patcher "*) ;;
	*)
		echo "$program does not run under $wine: $banner" >&2
		exit 1
		;;
	esac
	;;
stop)
	"$server" -k </dev/null >>"$log" 2>&1 || true
	"$server" -w </dev/null >>"$log" 2>&1 || true
	;;
*)
	echo "usage: wine_server.sh start|stop ..." >&2
	exit 2
	;;
esac
