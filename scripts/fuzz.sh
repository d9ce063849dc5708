#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build in turn, each for SECONDS, on its seeds, its committed
# corpus and what earlier runs found (kept in BUILD/fuzz/work/<target>), one process at a time.
#   [FUZZ_RUNS=N] scripts/fuzz.sh BUILD [SECONDS] [TARGET...]
# With FUZZ_RUNS a target stops after N executions, or after SECONDS if that comes first
# (`make fuzz` runs each to ten million executions that way).
# Prints each target's executions, time, executions a second and findings; exits 1 when any
# target found something (the input is then in BUILD/fuzz/artifacts/<target>/).
set -uo pipefail
build=${1:?usage: scripts/fuzz.sh BUILD [SECONDS] [TARGET...]}
seconds=${2:-60}
runs=${FUZZ_RUNS:--1}
shift $(( $# >= 2 ? 2 : 1 ))
root=$(cd "$(dirname "$0")/.." && pwd)
fuzz="$build/fuzz"
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(srecord config link codeplug kit)

# The largest input of each target, as CTest runs it.
declare -A max_len=([srecord]=12288 [config]=4096 [link]=2048 [codeplug]=12288 [kit]=24576)

failed=0
summary=()
for t in "${targets[@]}"; do
    exe="$fuzz/fuzz_$t"
    [ -x "$exe" ] || { echo "no fuzz target $exe (build with make fuzz-build)"; exit 2; }
    mkdir -p "$fuzz/work/$t" "$fuzz/artifacts/$t"
    corpora=("$fuzz/work/$t" "$fuzz/seeds/$t")
    [ -d "$root/fuzz/corpus/$t" ] && corpora+=("$root/fuzz/corpus/$t")
    log="$fuzz/artifacts/$t/last-run.log"
    if [ "$runs" -ge 0 ]; then echo "== fuzz_$t: $runs executions, at most $seconds s"; else echo "== fuzz_$t: $seconds s"; fi
    start=$(date +%s)
    "$exe" -runs="$runs" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 -max_len="${max_len[$t]:-4096}" \
        -print_final_stats=1 -artifact_prefix="$fuzz/artifacts/$t/" "${corpora[@]}" >"$log" 2>&1
    rc=$?
    took=$(( $(date +%s) - start ))
    executed=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    finding="none"
    if [ $rc -ne 0 ]; then
        finding=$(grep -m1 -E "ERROR: |runtime error|fuzz finding|ALARM|leak" "$log" || echo "exit $rc")
        failed=1
        tail -40 "$log"
    fi
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    summary+=("fuzz_$t: ${executed:-?} executions in $took s (${rate:-?} a second); findings: $finding")
done
printf '%s\n' "${summary[@]}"
exit $failed
