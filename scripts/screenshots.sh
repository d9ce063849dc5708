#!/usr/bin/env bash
# Pictures of the windowed program: starts the simulated demo radio on a pseudo-terminal,
# runs tessarin-gui-tour under Xvfb with the demo kit and the radio as COM1 (settings in a
# scratch folder, never the user's), and saves the PNGs in OUT_DIR.
set -euo pipefail
BUILD=${1:-build}
OUT=${2:-docs/screenshots}
ROOT=$(cd "$(dirname "$0")/.." && pwd)
TESSARIN="$ROOT/$BUILD/cli/tessarin"
TOUR="$ROOT/$BUILD/gui/tessarin-gui-tour"
KIT="$ROOT/$BUILD/kits/demo"
PROFILE="$ROOT/sim/profiles/demo.json"
WORK=$(mktemp -d)
LINK="$WORK/radio"
mkdir -p "$OUT"
OUT=$(cd "$OUT" && pwd)

cleanup() {
  if [ -n "${SIM_PID:-}" ] && kill -0 "$SIM_PID" 2>/dev/null; then
    kill -INT "$SIM_PID" 2>/dev/null || true
    wait "$SIM_PID" 2>/dev/null || true
  fi
  rm -rf "$WORK"
}
trap cleanup EXIT

for tool in "$TESSARIN" "$TOUR"; do
  [ -x "$tool" ] || { echo "Not built: $tool (build with Qt 6 first)" >&2; exit 1; }
done
command -v xvfb-run >/dev/null || { echo "xvfb-run is missing: run scripts/install-deps.sh" >&2; exit 1; }

"$TESSARIN" sim --profile "$PROFILE" --link "$LINK" >"$WORK/sim.out" 2>&1 &
SIM_PID=$!
for _ in $(seq 1 100); do
  [ -e "$LINK" ] && grep -q . "$WORK/sim.out" && break
  sleep 0.1
done
[ -e "$LINK" ] || { echo "The simulated radio did not start:" >&2; cat "$WORK/sim.out" >&2; exit 1; }

cat >"$WORK/settings.ini" <<INI
[Communication]
Port ID=1
ORX Echo Type=1
[Ports]
COM1=$LINK
INI

export TESSARIN_SETTINGS="$WORK/settings.ini"
export XDG_STATE_HOME="$WORK/state"
export XDG_CONFIG_HOME="$WORK/config"
export XDG_RUNTIME_DIR="$WORK/runtime"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
echo "== Taking the pictures (a whole upgrade of the simulated radio; a minute or two)"
xvfb-run -a -s "-screen 0 1024x768x24" env QT_QPA_PLATFORM=xcb "$TOUR" "$KIT" "$OUT"
echo "== Saved in $OUT"
