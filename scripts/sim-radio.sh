# Sourced by the scripts that run the simulated radio on a pseudo-terminal: TESSARIN (the Linux
# program), PROFILE, LINK and WORK are the caller's.
SIM_PID=""

# start_sim DUMP_DIR: the radio as the profile describes it, on a pseudo-terminal at LINK; its
# memory goes to DUMP_DIR when it stops.
start_sim() {
  rm -f "$LINK"
  "$TESSARIN" sim --profile "$PROFILE" --link "$LINK" --dump "$1" >"$WORK/sim.out" 2>&1 &
  SIM_PID=$!
  for _ in $(seq 1 100); do
    [ -e "$LINK" ] && grep -q . "$WORK/sim.out" && return 0
    sleep 0.1
  done
  echo "The simulated radio did not start:" >&2
  cat "$WORK/sim.out" >&2
  exit 1
}

# stop_sim: the radio stops (as on Ctrl-C) and writes its memory.
stop_sim() {
  if [ -n "$SIM_PID" ] && kill -0 "$SIM_PID" 2>/dev/null; then
    kill -INT "$SIM_PID" 2>/dev/null || true
    wait "$SIM_PID" 2>/dev/null || true
  fi
  SIM_PID=""
}
