#!/usr/bin/env bash
# Runs the window's layout test at 120, 144 and 192 dpi; the normal
# Wine run covers 96 and the move to twice the scale. Each scale is set as LogPixels in the prefix,
# read when the wineserver starts, so the server is restarted for each, on an Xvfb display large
# enough for the expanded window at 200 %. The prefix's values are put back, also on failure.
# Usage: dpi_scales.sh WIN_TESTS_EXE
set -euo pipefail
win_tests=${1:?usage: dpi_scales.sh WIN_TESTS_EXE}
keys=('HKCU\Control Panel\Desktop' 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts')
original=()  # the values as found ("" for none), to be put back exactly
for key in "${keys[@]}"; do
  original+=("$(wine reg query "$key" /v LogPixels 2>/dev/null | tr -d '\r' | awk '$1 == "LogPixels" {print $3}' || true)")
done
restart_server() { wineserver -k 2>/dev/null || true; wineserver -w 2>/dev/null || true; }

xvfb_pid=
restore() {
  for i in "${!keys[@]}"; do
    if [[ -n ${original[$i]} ]]; then
      wine reg add "${keys[$i]}" /v LogPixels /t REG_DWORD /d "$((original[i]))" /f >/dev/null 2>&1 || true
    else
      wine reg delete "${keys[$i]}" /v LogPixels /f >/dev/null 2>&1 || true
    fi
  done
  restart_server  # the next server reads the restored values
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null || true
  wineserver -p 2>/dev/null || true
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
}
trap restore EXIT

fdfile=$(mktemp)
Xvfb -displayfd 9 -screen 0 2560x1600x24 -nolisten tcp 9>"$fdfile" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [[ -s $fdfile ]] && break; sleep 0.1; done
[[ -s $fdfile ]] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$(tr -d '[:space:]' <"$fdfile")
rm -f "$fdfile"

status=0
for dpi in 120 144 192; do
  for key in "${keys[@]}"; do wine reg add "$key" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1; done
  restart_server
  echo "== $dpi dpi"
  wine "$win_tests" --gtest_filter='InstallerWindowScale.EveryView*' </dev/null || status=1
done
exit $status
