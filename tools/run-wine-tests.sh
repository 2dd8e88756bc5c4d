#!/usr/bin/env bash
# Runs the tests of a Windows build directory under Wine:
#   tools/run-wine-tests.sh BUILD_DIR [ctest options...]
# The build's Wine prefix is booted once (first run only), and one Wine server
# is kept up for the whole run and stopped after it. Without that, every test
# would pay for starting the server, and a server started by a test would hold
# that test's output pipe open after the test has ended.
set -euo pipefail

build=${1:?usage: run-wine-tests.sh BUILD_DIR [ctest options...]}
shift
build=$(cd "$build" && pwd)

export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

stop_server() { wineserver -k >/dev/null 2>&1 || true; }
trap stop_server EXIT

began=$(date +%s)
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Booting the Wine prefix $WINEPREFIX"
  # Without the 32-bit half of Wine, wineboot reports the 32-bit helpers it
  # cannot start and exits non-zero; the 64-bit prefix is usable all the same,
  # so the prefix itself is what is checked.
  timeout 300 wineboot --init </dev/null >"$build/wineboot.log" 2>&1 || true
  # The registry reaches the disk when the server that booted the prefix ends.
  timeout 120 wineserver -w || true
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wineboot did not create the prefix; see $build/wineboot.log" >&2
    exit 1
  fi
fi
wineserver -p </dev/null >/dev/null 2>&1
# Start the prefix's own processes now, outside any test's pipes.
timeout 120 "$build/wine-run" cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
ready=$(date +%s)
echo "Wine ready in $((ready - began)) s"

status=0
ctest --test-dir "$build" --output-on-failure "$@" || status=$?
# Wine now and then ends a process by itself: the test stops mid-way with no
# message of its own, and passes when run again. A failed test is run once
# more and fails the run only if it fails again; both runs stay in the log.
failed="$build/Testing/Temporary/LastTestsFailed.log"
if [ "$status" -ne 0 ] && [ -s "$failed" ]; then
  echo "Running the failed tests once more under Wine:"
  sed 's/^/  /' "$failed"
  status=0
  ctest --test-dir "$build" --output-on-failure --rerun-failed "$@" || status=$?
fi
echo "Windows tests under Wine took $(($(date +%s) - ready)) s"
exit $status
