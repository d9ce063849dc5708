# Sourced by the scripts that run the Windows build's programs under Wine (Debian's wine64,
# whose loader and server are not on PATH): a fresh Wine prefix of this run's own under WORK,
# removed at exit together with the Wine server and the processes listed in WINE_RUN_PIDS.
WINE_DIR="$(dirname "$(dpkg -L wine64 | grep -E '/wine64$' | head -n1)")"
WINE="$WINE_DIR/wine64"
WINESERVER="$WINE_DIR/wineserver"
WORK="$(mktemp -d)"
export WINEPREFIX="$WORK/prefix" WINEDEBUG=-all
WINE_RUN_PIDS=()
wine_cleanup() {
  local pid
  for pid in "${WINE_RUN_PIDS[@]}"; do
    { kill "$pid" && wait "$pid"; } 2>/dev/null || true
  done
  "$WINESERVER" -k >/dev/null 2>&1 || true
  rm -rf "$WORK"
}
trap wine_cleanup EXIT
"$WINE" wineboot -i >/dev/null 2>&1

# wine_com_port N PATH: COMN of the prefix is the device (or the link to it) at PATH. The
# server is restarted so that the next start picks the mapping up, and kept a few seconds
# after each program, with its own output kept out of ours.
wine_com_port() {
  "$WINE" reg add 'HKLM\Software\Wine\Ports' /v "COM$1" /t REG_SZ /d "$2" /f >/dev/null 2>&1
  "$WINESERVER" -k >/dev/null 2>&1 || true
  "$WINESERVER" -p5 >/dev/null 2>&1
}
