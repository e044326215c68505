#!/usr/bin/env bash
# End to end, as an operator: the real program on a virtual display with two
# virtual cameras; the operator ticks units 1 and 2 (use and save boxes) and
# presses "開始" through the accessibility bus, later "戻る" and "開始" again;
# the published files are checked byte by byte, the newest taken after the
# second start.
set -euo pipefail
out=$1       # the program directory of the build
source=$2    # the source tree
work=$(mktemp -d)
trap 'kill ${xvfb:-} 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/program" "$work/unit1" "$work/unit2"
cp "$out"/selvane "$out"/regsvr32 "$out"/Korvex.OCX "$out"/lib*.so "$work/program/"
export PL_REGISTRY="$work/registry.reg" VCAM_DEVICES=2 VCAM_FPS=30
"$work/program/regsvr32" /s "$work/program/Korvex.OCX"
{
  for u in 1 2; do printf '"0","0","","640*480","1000","5","I420","%s/"\r\n' "$work/unit$u"; done
  for u in 3 4 5 6; do printf '"0","0","","640*480","5000","10","RGB",""\r\n'; done
  printf '"1","60"\r\n'
} >"$work/program/selvanedir.ini"

source "$source/scripts/virtual_display.sh"
start_virtual_display "$work"
export QT_QPA_PLATFORM=xcb
on_accessibility_bus '
  "$0/program/selvane" >"$0/selvane.log" 2>&1 &
  app=$!
  operate() { /usr/bin/python3 "$1/scripts/demo/operate.py" selvane "${@:2}"; }
  operate "$1" "1号機|Check1(0)" "Check2|Check2(0)" "2号機|Check1(1)" "Check2|Check2(1)" "開始|Command2"
  sleep 5
  # Back to the control screen while capture runs, and "開始" again: capture
  # must start again and publish pictures taken after the restart.
  operate "$1" "戻る|Command3"
  sleep 1
  date "+%Y/%m/%d %H:%M:%S" >"$0/restarted"
  operate "$1" "開始|Command2"
  sleep 6
  kill $app
' "$work" "$source" || true
if ! /usr/bin/python3 "$source/tests/app/e2e/check_published.py" --after "$(cat "$work/restarted" 2>/dev/null)" \
  "$work/unit1" "$work/unit2"; then
  echo "--- the program's output:"
  tail -40 "$work/selvane.log"
  exit 1
fi
