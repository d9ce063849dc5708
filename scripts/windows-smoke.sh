#!/usr/bin/env bash
# Runs the Windows build's tessarin.exe under Wine against the simulated radio of the Linux
# build: the simulator's pseudo-terminal is mapped to COM5 of a fresh Wine prefix, and the
# command asks the radio for its status through the Windows serial port code.
# Usage: windows-smoke.sh LINUX_BUILD WINDOWS_BUILD
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
LINUX_BUILD="$ROOT/${1:-build}"
WINDOWS_BUILD="$ROOT/${2:-build-windows}"
source "$ROOT/scripts/wine-prefix.sh"
LINK="$WORK/radio"

"$LINUX_BUILD/cli/tessarin" sim --profile "$ROOT/sim/profiles/demo.json" --link "$LINK" >"$WORK/sim.out" 2>&1 &
WINE_RUN_PIDS+=($!)
for _ in $(seq 50); do [ -e "$LINK" ] && break; sleep 0.1; done
wine_com_port 5 "$LINK"

"$WINE" "$WINDOWS_BUILD/cli/tessarin.exe" --version
status="$("$WINE" "$WINDOWS_BUILD/cli/tessarin.exe" radio status 0 --port 5 | tr -d '\r')"
echo "radio status over COM5: $status"
[ "$status" = "DM450 PORTABLE" ] || { echo "unexpected status from the simulated radio" >&2; exit 1; }
echo "tessarin.exe talked to the simulated radio through COM5 under Wine"
