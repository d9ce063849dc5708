#!/usr/bin/env bash
# Runs the Windows build's test programs under Wine, each in turn, in a fresh Wine prefix of
# this run's own (removed at the end). The programs' scratch folders, settings files and
# carry-over records go to the Windows temporary folder inside the prefix. The serial port
# tests (winserial_tests) reach COM7, a pseudo-terminal whose far end is the Linux build's
# winserial_peer. Prints one line per program; the status is 1 when any program fails.
# Usage: windows-tests.sh LINUX_BUILD WINDOWS_BUILD [NAME_PATTERN]
# (NAME_PATTERN, an extended regular expression, runs only the programs whose names match.)
set -uo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
LINUX_BUILD="$(cd "$ROOT" && realpath "${1:-build}")"
WINDOWS_BUILD="$(cd "$ROOT" && realpath "${2:-build-windows}")"
ONLY="${3:-.}"
LIST="$WINDOWS_BUILD/windows-tests.txt"
PEER="$LINUX_BUILD/tests/winserial/winserial_peer"
COM_PORT=7
[ -f "$LIST" ] || { echo "windows-tests: $LIST is missing: build the Windows tests first (make test-windows)" >&2; exit 2; }
[ -x "$PEER" ] || { echo "windows-tests: $PEER is missing: build the Linux build first (make build)" >&2; exit 2; }

# Each program makes its own settings file and record folder in its scratch folder.
unset TESSARIN_SETTINGS TESSARIN_STATE_DIR
source "$ROOT/scripts/wine-prefix.sh"

"$PEER" "$WORK/com$COM_PORT" 2>"$WORK/peer.err" &
WINE_RUN_PIDS+=($!)
for _ in $(seq 50); do [ -L "$WORK/com$COM_PORT" ] && break; sleep 0.1; done
[ -L "$WORK/com$COM_PORT" ] || { echo "windows-tests: the serial peer did not start: $(cat "$WORK/peer.err")" >&2; exit 1; }
wine_com_port "$COM_PORT" "$WORK/com$COM_PORT"
export TESSARIN_TEST_COM_PORT=$COM_PORT

# The programs are started in the work folder, on Wine's drive for the Linux file system,
# so the source paths built into them (/work/...) name the same files.
cd "$WORK"
failed=()
while IFS= read -r program; do
  [ -n "$program" ] || continue
  name="$(basename "$program" .exe)"
  [[ "$name" =~ $ONLY ]] || continue
  log="$WORK/$name.log"
  start=$SECONDS
  timeout 900 "$WINE" "$program" --gtest_brief=1 >"$log" 2>&1
  status=$?
  count() { tr -d '\r' <"$log" | sed -n "s/^$1 \([0-9]*\) tests\?\b.*/\1/p" | tail -n1; }
  ran="$(count '\[==========\]')"
  passed="$(count '\[  PASSED  \]')"
  skipped="$(count '\[  SKIPPED \]')"
  summary="${ran:-0} ran: ${passed:-0} passed, $(( ${ran:-0} - ${passed:-0} - ${skipped:-0} )) failed, ${skipped:-0} skipped, $((SECONDS - start)) s"
  if [ "$status" -eq 0 ]; then
    echo "PASS  $name ($summary)"
  else
    echo "FAIL  $name ($summary, exit status $status)"
    tr -d '\r' <"$log" | grep -v '^Running main()' | sed 's/^/      /'
    failed+=("$name")
  fi
done <"$LIST"

if [ ${#failed[@]} -gt 0 ]; then
  echo "windows-tests: failed under Wine: ${failed[*]}"
  exit 1
fi
echo "windows-tests: every test program passed under Wine"
