#!/usr/bin/env bash
# The main job on the built-in simulated radio: start the demo kit's radio on a
# pseudo-terminal and talk to it with `tessarin radio` through the real serial port code.
set -euo pipefail
BUILD=${1:-build}
ROOT=$(cd "$(dirname "$0")/.." && pwd)
TESSARIN="$ROOT/$BUILD/cli/tessarin"
PROFILE="$ROOT/sim/profiles/demo.json"
WORK=$(mktemp -d)
LINK="$WORK/radio"

cleanup() {
  if [ -n "${SIM_PID:-}" ] && kill -0 "$SIM_PID" 2>/dev/null; then
    kill -INT "$SIM_PID" 2>/dev/null || true
    wait "$SIM_PID" 2>/dev/null || true
  fi
  rm -rf "$WORK"
}
trap cleanup EXIT

echo "== Starting the simulated radio ($PROFILE)"
"$TESSARIN" sim --profile "$PROFILE" --link "$LINK" --dump "$WORK/dump" >"$WORK/sim.out" 2>&1 &
SIM_PID=$!
for _ in $(seq 1 100); do
  [ -e "$LINK" ] && grep -q . "$WORK/sim.out" && break
  sleep 0.1
done
if [ ! -e "$LINK" ]; then
  echo "The simulated radio did not start:" >&2
  cat "$WORK/sim.out" >&2
  exit 1
fi
cat "$WORK/sim.out"

run() {
  echo
  echo "\$ tessarin $*"
  set +e
  "$TESSARIN" "$@"
  local status=$?
  set -e
  echo "(exit status $status)"
}

run radio status 0 --device "$LINK"
run radio status 15 --device "$LINK"
run radio read 0x0000 16 --device "$LINK"
run radio write 0x3FF0 2A --device "$LINK"
run radio read 0x3FF0 1 --device "$LINK" --trace
run radio reset --device "$LINK"
echo
echo "== A radio that is not there: the same request on a device that does not exist"
run radio status 0 --device "$WORK/no-such-port"
