#!/usr/bin/env bash
# Several radios upgraded at once from one PC: for each N (1, 2, 4 and 8 unless given), N
# simulated radios with 512 KB of flash (so the kit's fw_512k goes), each on its own
# pseudo-terminal paced at the line rate, and one `tessarin program --flash-baud 115200` per
# radio, all started together. Prints per N: the wall time of the slowest program against
# N = 1, the CPU time of all programs together (and as a share of one core over the slowest
# program's wall time) against N = 1, and the simulators' CPU apart.
#   bench/multi-radio.sh BUILD [N...]
# Run it on an otherwise idle machine; it prints the load average beside the figures.
set -euo pipefail
BUILD=${1:?usage: bench/multi-radio.sh BUILD [N...]}
shift
counts=("$@")
[ ${#counts[@]} -eq 0 ] && counts=(1 2 4 8)
ROOT=$(cd "$(dirname "$0")/.." && pwd)
TESSARIN="$ROOT/$BUILD/cli/tessarin"
KIT="$ROOT/$BUILD/kits/demo"
PROFILE_DIR="$ROOT/sim/profiles"
WORK=$(mktemp -d)
sims=()
cleanup() {
  for pid in "${sims[@]}"; do kill -INT "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  [ "$keep" -eq 1 ] || rm -rf "$WORK"
}
keep=0
trap cleanup EXIT
TICKS=$(getconf CLK_TCK)

# The demo radio with 512 KB of flash (the kit then plans fw_512k).
sed -e 's/"sizeKB": 128/"sizeKB": 512/' \
    -e "s#\"image\": \"demo-radio-codeplug.s19\"#\"image\": \"$PROFILE_DIR/demo-radio-codeplug.s19\"#" \
    "$PROFILE_DIR/demo.json" >"$WORK/radio.json"

# CPU seconds (user + system) a live process has used so far.
cpu_of() { awk -v t="$TICKS" '{ print ($14 + $15) / t }' "/proc/$1/stat"; }

base_wall=""
base_cpu=""
printf '%3s %12s %8s %14s %8s %16s %14s\n' N slowest_s vs_N1 programs_cpu_s vs_N1 programs_core_% sims_cpu_s
for n in "${counts[@]}"; do
  sims=()
  for i in $(seq 1 "$n"); do
    dir="$WORK/$n-$i"
    mkdir -p "$dir"
    (exec "$TESSARIN" sim --profile "$WORK/radio.json" --link "$dir/radio" >"$dir/sim.out" 2>&1) &
    sims+=($!)
  done
  for i in $(seq 1 "$n"); do
    for _ in $(seq 1 100); do
      [ -e "$WORK/$n-$i/radio" ] && grep -q . "$WORK/$n-$i/sim.out" && break
      sleep 0.1
    done
  done
  programs=()
  for i in $(seq 1 "$n"); do
    dir="$WORK/$n-$i"
    (
      cd "$dir"
      TIMEFORMAT='%R %U %S'
      { time TESSARIN_SETTINGS="$dir/settings.ini" TESSARIN_STATE_DIR="$dir/state" timeout 1800 \
          "$TESSARIN" program --kit "$KIT" --device "$dir/radio" --echo on --yes --retries 0 \
          --flash-baud 115200 >"$dir/program.out" 2>&1; } 2>"$dir/time.out"
    ) &
    programs+=($!)
  done
  failed=0
  for pid in "${programs[@]}"; do wait "$pid" || failed=1; done
  sims_cpu=0
  for pid in "${sims[@]}"; do
    sims_cpu=$(awk -v a="$sims_cpu" -v b="$(cpu_of "$pid")" 'BEGIN { print a + b }')
    kill -INT "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  sims=()
  for i in $(seq 1 "$n"); do
    if ! grep -q . "$WORK/$n-$i/time.out" || [ "$failed" -ne 0 ]; then
      echo "N=$n: a program failed (its folder, with the log, stays: $WORK/$n-$i):"
      tail -20 "$WORK/$n-$i/program.out"; keep=1; exit 1
    fi
  done
  read -r slowest cpu < <(cat "$WORK/$n"-*/time.out | awk '{ if ($1 > w) w = $1; c += $2 + $3 } END { print w, c }')
  [ -z "$base_wall" ] && { base_wall=$slowest; base_cpu=$cpu; }
  awk -v n="$n" -v w="$slowest" -v c="$cpu" -v bw="$base_wall" -v bc="$base_cpu" -v s="$sims_cpu" \
    'BEGIN { printf "%3d %12.2f %8.3f %14.2f %8.2f %16.2f %14.2f\n", n, w, w / bw, c, c / bc, 100 * c / w, s }'
done
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
