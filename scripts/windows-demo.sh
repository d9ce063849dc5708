#!/usr/bin/env bash
# A whole upgrade by the Windows tessarin.exe under Wine, proved against the Linux tessarin:
# the simulated demo radio (the Linux `tessarin sim`) on a pseudo-terminal mapped to COM5 of a
# fresh Wine prefix, upgraded by `tessarin.exe program --port 5` with a kit whose plan
# programs the codeplug and patches it (no firmware: the boot ROM's bootstrap needs a break,
# which Wine does not carry over a pseudo-terminal). The same upgrade by the Linux tessarin on
# a second radio as it comes in must leave the same memory, byte for byte.
# Usage: windows-demo.sh LINUX_BUILD WINDOWS_BUILD
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
LINUX_BUILD="$ROOT/${1:-build}"
WINDOWS_BUILD="$ROOT/${2:-build-windows}"
TESSARIN="$LINUX_BUILD/cli/tessarin"
TESSARIN_EXE="$WINDOWS_BUILD/cli/tessarin.exe"
PROFILE="$ROOT/sim/profiles/demo.json"
# shellcheck source=wine-prefix.sh
. "$ROOT/scripts/wine-prefix.sh"
# Both programs keep their settings, records and journal to this run.
export TESSARIN_SETTINGS="$WORK/settings.ini" TESSARIN_STATE_DIR="$WORK/state"
LINK="$WORK/radio"
# shellcheck source=sim-radio.sh
. "$ROOT/scripts/sim-radio.sh"

# A path of this machine as Windows programs under Wine name it (drive Z: is the root).
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

echo "== The kit: the demo kit's codeplug and patches, without its firmware"
mkdir -p "$WORK/kit-src"
cp "$ROOT"/kits/demo/* "$WORK/kit-src/"
# The demo radio's row of the radio matching block as the kit's row for other versions: no
# flash rate question, no firmware, the codeplug programmed, the patches applied.
sed -i 's/^R01\.00,01,01,03,01,01,01,00,01\r$/R01.00,00,00,03,01,00,00,00,01\r/' "$WORK/kit-src/patcher.txt"
grep -q $'^R01\\.00,00,00,03,01,00,00,00,01\r$' "$WORK/kit-src/patcher.txt" ||
  { echo "The demo kit's radio matching row is not the one this script knows." >&2; exit 1; }
"$TESSARIN" kit pack "$WORK/kit-src" "$WORK/kit" >/dev/null

echo
echo "== The Linux tessarin upgrades one radio"
start_sim "$WORK/linux"
WINE_RUN_PIDS+=("$SIM_PID")
"$TESSARIN" program --kit "$WORK/kit" --device "$LINK" --echo on --yes
stop_sim

echo
echo "== tessarin.exe under Wine upgrades another through COM5"
start_sim "$WORK/windows"
WINE_RUN_PIDS+=("$SIM_PID")
wine_com_port 5 "$LINK"
set +e
"$WINE" "$TESSARIN_EXE" program --kit "$(windows_path "$WORK/kit")" --port 5 --echo on --yes | tr -d '\r'
status=${PIPESTATUS[0]}
set -e
stop_sim
echo "(exit status $status)"
[ "$status" -eq 0 ] || { echo "tessarin.exe did not upgrade the radio." >&2; exit 1; }

echo
echo "== Proof"
# Every press writes its own identity mark (a number from the clock) at 0x3FF0 of the
# radio's memory, so that byte may differ; no other may.
differing=$(cmp -l "$WORK/linux/codeplug.bin" "$WORK/windows/codeplug.bin" | awk '$1 != 16369' | wc -l || true)
if [ "$differing" -ne 0 ]; then
  echo "The radio's codeplug after tessarin.exe differs from the Linux upgrade's in $differing bytes:" >&2
  cmp -l "$WORK/linux/codeplug.bin" "$WORK/windows/codeplug.bin" | head >&2
  exit 1
fi
cmp "$WORK/linux/flash.bin" "$WORK/windows/flash.bin" ||
  { echo "The radio's flash after tessarin.exe differs from the Linux upgrade's." >&2; exit 1; }
echo "The codeplug (but for the press's identity mark) and the flash after tessarin.exe under Wine equal"
echo "those after the Linux tessarin, byte for byte."
