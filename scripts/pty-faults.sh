#!/usr/bin/env bash
# Whole upgrades through `tessarin program` on the simulated demo radio on a pseudo-terminal,
# one fault each, on the real serial port code and the real clock. For each fault: a fresh
# radio, `tessarin program --yes`; when a run ends without an update, the technician does what
# the message says (battery out and back in: the simulator's plain power cycle) and runs the
# program again, up to three times. The radio must end as a clean upgrade leaves it: the same
# flash, the same codeplug (the identity mark at 0x3FF0 aside, it is the time of day).
#   scripts/pty-faults.sh BUILD [FAULT...]     (fault syntax: tessarin sim --help)
# Prints a line per fault; exits 1 when a radio was not recovered. About 40 s per fault.
set -uo pipefail
BUILD=${1:?usage: scripts/pty-faults.sh BUILD [FAULT...]}
shift
ROOT=$(cd "$(dirname "$0")/.." && pwd)
TESSARIN="$ROOT/$BUILD/cli/tessarin"
KIT="$ROOT/$BUILD/kits/demo"
PROFILE="$ROOT/sim/profiles/demo.json"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
readonly IDENTITY_MARK=$((0x3FF0))

faults=("$@")
if [ ${#faults[@]} -eq 0 ]; then
  faults=(
    "nack:op=status,nth=3"
    "checksum:op=read,nth=4"
    "echo:at=3"
    "break:op=status,nth=5"
    "drop-ack:op=sync"
    "echo:op=block,nth=5"
    "power-loss:op=block,nth=100"
    "late-reply:op=read,stage=boot-code,nth=1"
    "nack:op=erase,count=4"
    "late-reply:op=erase"
    "echo:at=13"
    "nack:op=flash-write,stage=firmware,nth=200"
    "drop-ack:op=flash-write,stage=firmware,nth=400"
    "break:op=flash-write,stage=firmware,nth=100"
    "garbage:op=flash-write,stage=firmware,nth=600"
    "power-loss:stage=firmware,nth=300"
    "drop-reply:op=read,stage=boot-code,nth=3"
    "nack:op=codeplug-write,stage=boot-code,nth=5,count=4"
    "power-loss:op=codeplug-write,stage=boot-code,nth=8"
    "garbage:op=codeplug-write,stage=boot-code,nth=18"
    "break:op=reset"
  )
fi

# run DIR [FAULT]: one radio, up to three program runs; the radio's memory ends up in DIR/dump.
run() {
  local dir=$1 fault=${2:-}
  mkdir -p "$dir"
  local args=(sim --profile "$PROFILE" --link "$dir/radio" --dump "$dir/dump")
  [ -n "$fault" ] && args+=(--fault "$fault")
  "$TESSARIN" "${args[@]}" >"$dir/sim.out" 2>&1 &
  local sim=$!
  for _ in $(seq 1 100); do
    [ -e "$dir/radio" ] && grep -q . "$dir/sim.out" && break
    sleep 0.1
  done
  local status=1 press
  for press in 1 2 3; do
    [ "$press" -gt 1 ] && { kill -USR2 "$sim"; sleep 3; }
    (cd "$dir" && TESSARIN_SETTINGS="$dir/settings.ini" TESSARIN_STATE_DIR="$dir/state" timeout 900 \
      "$TESSARIN" program --kit "$KIT" --device "$dir/radio" --echo on --yes --retries 4 --flash-baud 115200 \
      >>"$dir/program.out" 2>&1)
    status=$?
    [ "$status" -eq 0 ] && break
    [ "$status" -eq 124 ] && break  # hung: no second press
  done
  kill -INT "$sim" 2>/dev/null
  wait "$sim" 2>/dev/null
  echo "$status $press"
}

# The codeplug without the identity mark.
unmarked() { head -c "$IDENTITY_MARK" "$1"; tail -c +$((IDENTITY_MARK + 2)) "$1"; }

read -r status _ < <(run "$WORK/clean")
[ "$status" -eq 0 ] || { echo "The clean upgrade failed:"; cat "$WORK/clean/program.out"; exit 1; }

failed=0
n=0
for fault in "${faults[@]}"; do
  n=$((n + 1))
  dir="$WORK/$n"
  start=$(date +%s)
  read -r status presses < <(run "$dir" "$fault")
  took=$(( $(date +%s) - start ))
  fired=$(grep -c ' fault ' "$dir/dump/trace.txt" 2>/dev/null)
  if [ "$status" -eq 124 ]; then
    verdict="HANG"
  elif [ "$status" -ne 0 ]; then
    verdict="NOT RECOVERED (exit status $status)"
  elif ! cmp -s "$WORK/clean/dump/flash.bin" "$dir/dump/flash.bin"; then
    verdict="NOT RECOVERED (flash differs)"
  elif ! cmp -s <(unmarked "$WORK/clean/dump/codeplug.bin") <(unmarked "$dir/dump/codeplug.bin"); then
    verdict="NOT RECOVERED (codeplug differs)"
  elif [ "${fired:-0}" -eq 0 ]; then
    verdict="recovered, but the fault never fired"
  else
    verdict="recovered"
  fi
  case $verdict in recovered*) ;; *) failed=1; tail -20 "$dir/program.out" ;; esac
  printf '%-52s %-34s %d press(es), %3d s\n' "$fault" "$verdict" "$presses" "$took"
done
exit $failed
