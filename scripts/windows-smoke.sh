#!/usr/bin/env bash
# Runs the Windows build's tessarin.exe under Wine against the simulated radio of the Linux
# build: the simulator's pseudo-terminal is mapped to COM5 of a fresh Wine prefix, and the
# command asks the radio for its status through the Windows serial port code.
# Usage: windows-smoke.sh LINUX_BUILD WINDOWS_BUILD
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
LINUX_BUILD="$ROOT/${1:-build}"
WINDOWS_BUILD="$ROOT/${2:-build-windows}"
WINE_DIR="$(dirname "$(dpkg -L wine64 | grep -E '/wine64$' | head -n1)")"
WINE="$WINE_DIR/wine64"
WINESERVER="$WINE_DIR/wineserver"
WORK="$(mktemp -d)"
export WINEPREFIX="$WORK/prefix" WINEDEBUG=-all
LINK="$WORK/radio"
SIM_PID=""
cleanup() {
  [ -n "$SIM_PID" ] && kill "$SIM_PID" 2>/dev/null && wait "$SIM_PID" 2>/dev/null
  "$WINESERVER" -k >/dev/null 2>&1 || true
  rm -rf "$WORK"
}
trap cleanup EXIT

"$WINE" wineboot -i >/dev/null 2>&1
"$LINUX_BUILD/cli/tessarin" sim --profile "$ROOT/sim/profiles/demo.json" --link "$LINK" >"$WORK/sim.out" 2>&1 &
SIM_PID=$!
for _ in $(seq 50); do [ -e "$LINK" ] && break; sleep 0.1; done
"$WINE" reg add 'HKLM\Software\Wine\Ports' /v COM5 /t REG_SZ /d "$LINK" /f >/dev/null 2>&1
"$WINESERVER" -k >/dev/null 2>&1 || true
# The server the next start uses, with its own output kept out of ours.
"$WINESERVER" -p5 >/dev/null 2>&1

"$WINE" "$WINDOWS_BUILD/cli/tessarin.exe" --version
status="$("$WINE" "$WINDOWS_BUILD/cli/tessarin.exe" radio status 0 --port 5 | tr -d '\r')"
echo "radio status over COM5: $status"
[ "$status" = "DM450 PORTABLE" ] || { echo "unexpected status from the simulated radio" >&2; exit 1; }
echo "tessarin.exe talked to the simulated radio through COM5 under Wine"
