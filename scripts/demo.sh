#!/usr/bin/env bash
# The main job on the simulated demo radio: `tessarin program` upgrades it through the real
# serial port code on a pseudo-terminal, the same command run again is refused because the
# radio is already upgraded, and the radio's memory is checked against the kit.
set -euo pipefail
BUILD=${1:-build}
ROOT=$(cd "$(dirname "$0")/.." && pwd)
TESSARIN="$ROOT/$BUILD/cli/tessarin"
KIT="$ROOT/$BUILD/kits/demo"
PROFILE="$ROOT/sim/profiles/demo.json"
KEY=DemoKitDataKey-2026-R0205
WORK=$(mktemp -d)
LINK="$WORK/radio"
# The demo keeps its settings and carry-over records to itself.
export TESSARIN_SETTINGS="$WORK/settings.ini"
export TESSARIN_STATE_DIR="$WORK/state"

# shellcheck source=sim-radio.sh
. "$ROOT/scripts/sim-radio.sh"
cleanup() {
  stop_sim
  rm -rf "$WORK"
}
trap cleanup EXIT

# hexbytes FILE OFFSET COUNT: the bytes as hex, and as text where printable.
hexbytes() {
  od -A n -t x1 -j "$2" -N "$3" "$1" | tr -s ' \n' ' ' | sed 's/^ //; s/ $//'
}
text() {
  dd if="$1" bs=1 skip="$2" count="$3" status=none | tr -c '[:print:]' '.'
}

started=$(date +%s)
echo "== The demo radio as it comes in"
start_sim "$WORK/before"
head -n1 "$WORK/sim.out"
stop_sim

echo
echo "== Upgrading it: tessarin program --kit $BUILD/kits/demo --device $LINK --yes --flash-baud 115200"
start_sim "$WORK/after"
set +e
"$TESSARIN" program --kit "$KIT" --device "$LINK" --echo on --yes --flash-baud 115200
status=$?
set -e
echo "(exit status $status)"
[ "$status" -eq 0 ] || { echo "The upgrade did not succeed." >&2; exit 1; }

echo
echo "== The same command again, on the upgraded radio"
set +e
"$TESSARIN" program --kit "$KIT" --device "$LINK" --echo on --yes --flash-baud 115200 | tee "$WORK/again.out"
status=${PIPESTATUS[0]}
set -e
echo "(exit status $status)"
stop_sim
if [ "$status" -ne 3 ] || ! grep -q "already been upgraded" "$WORK/again.out"; then
  echo "The second run was not refused as already upgraded." >&2
  exit 1
fi

echo
echo "== Proof: the radio's memory after the upgrade"
printf '%s\n' "$KEY" | "$TESSARIN" kit srec "$KIT/fw_128k" --key-file - --out "$WORK/fw.bin" >/dev/null
printf '%s\n' "$KEY" | "$TESSARIN" kit srec "$KIT/cp_demo" --key-file - --out "$WORK/cp.bin" >/dev/null
fw_size=$(stat -c %s "$WORK/fw.bin")
if cmp -s -n "$fw_size" "$WORK/fw.bin" "$WORK/after/flash.bin"; then
  echo "Flash: the first $fw_size bytes equal the kit's fw_128k (header: $(text "$WORK/after/flash.bin" 0 4), version $(text "$WORK/after/flash.bin" 8 6))"
else
  echo "Flash: differs from the kit's fw_128k" >&2
  exit 1
fi

cp_size=$(stat -c %s "$WORK/cp.bin")
printf '\nCodeplug, 0x0000-0x%04X (%d bytes), before / kit image / after:\n' $((cp_size - 1)) "$cp_size"
row() {  # row LABEL OFFSET COUNT
  printf '  %-28s %s\n' "$1" ""
  printf '    radio before: %s\n' "$(hexbytes "$WORK/before/codeplug.bin" "$2" "$3")"
  printf '    kit image:    %s\n' "$(hexbytes "$WORK/cp.bin" "$2" "$3")"
  printf '    radio after:  %s\n' "$(hexbytes "$WORK/after/codeplug.bin" "$2" "$3")"
}
printf '  serial number (block 0):     before "%s", kit "%s", after "%s"\n' \
  "$(text "$WORK/before/codeplug.bin" $((0x113)) 11)" "$(text "$WORK/cp.bin" $((0x113)) 11)" \
  "$(text "$WORK/after/codeplug.bin" $((0x113)) 11)"
row "tuning entry (block 0x8000), first 16 of 64 bytes" $((0x23)) 16
row "regional id (block 0 byte 81)" $((0x164)) 1
row "patched byte (block 3 entry 0)" $((0x183)) 1
head -c "$cp_size" "$WORK/after/codeplug.bin" >"$WORK/after-image.bin"
differing=$(cmp -l "$WORK/cp.bin" "$WORK/after-image.bin" | wc -l || true)
echo "  $differing of $cp_size bytes differ from the kit image: the carried-over tuning, serial number and regional id,"
echo "  the patched byte, and the checksum bytes that keep their regions right."
# expect_own WHAT OFFSET COUNT: the radio holds its own bytes there after the upgrade, as it
# had them before, where the kit's image has others.
expect_own() {
  local before after kit
  before=$(hexbytes "$WORK/before/codeplug.bin" "$2" "$3")
  after=$(hexbytes "$WORK/after/codeplug.bin" "$2" "$3")
  kit=$(hexbytes "$WORK/cp.bin" "$2" "$3")
  if [ "$after" != "$before" ]; then
    echo "The radio's own $1 was not carried over: it had $before, it holds $after." >&2
    exit 1
  fi
  if [ "$kit" = "$before" ]; then
    echo "The kit's image holds the radio's own $1 already: the demo cannot tell it was carried over." >&2
    exit 1
  fi
}
expect_own "tuning entry" $((0x23)) 64
expect_own "serial number" $((0x113)) 11
expect_own "regional id" $((0x164)) 1
# The demo radio's own data as sim/profiles/demo.json describes it.
if [ "$(text "$WORK/after/codeplug.bin" $((0x113)) 11)" != "DM450SN0042" ]; then
  echo "The radio's serial number is not DM450SN0042 after the upgrade." >&2
  exit 1
fi
if [ "$(hexbytes "$WORK/after/codeplug.bin" $((0x164)) 1)" != "07" ]; then
  echo "The radio's regional id is not 7 after the upgrade." >&2
  exit 1
fi
if [ "$(hexbytes "$WORK/after/codeplug.bin" $((0x183)) 1)" != "a5" ]; then
  echo "The patch was not applied." >&2
  exit 1
fi

echo
echo "Demo finished in $(( $(date +%s) - started )) s."
