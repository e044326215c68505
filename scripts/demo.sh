#!/usr/bin/env bash
# Runs selvane on three virtual cameras with a demo settings file: units 1 to
# 3 in use, saving JPEG files into demo folders every 1, 2 and 3 seconds.
# With a display the operator presses "開始". Without one it runs on a
# virtual display, presses "開始" through the accessibility bus, lets capture
# run for 20 seconds, prints what each unit published and saves a screenshot.
# The program's messages go to build/demo/selvane.log.
# VCAM_UVC=1 makes the three cameras emulated UVC webcams (the real-camera path).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
./scripts/setup.sh
build="${SV_DEMO_BUILD:-build/default}"
[ -n "${SV_DEMO_BUILD:-}" ] || cmake --preset default >/dev/null
[ -n "${SV_DEMO_BUILD:-}" ] || cmake --build --preset default --target selvane selvane-web plenkit korvex regsvr32


demo="$root/build/demo"
app="$demo/program"
rm -rf "$demo"
mkdir -p "$app" "$demo/unit1" "$demo/unit2" "$demo/unit3"
cp -a "$build/out/." "$app/"
rm -rf "$app/tests" "$app/tools" "$app/bench" "$app/fuzz"
export PL_REGISTRY="$demo/registry.reg"
"$app/regsvr32" /s "$app/Korvex.OCX"

q() { printf '"%s"' "$1"; }
{
  for u in 1 2 3; do
    printf '%s,%s,%s,%s,%s,%s,%s,%s\r\n' "$(q 1)" "$(q 1)" "$(q '')" "$(q 640*480)" "$(q ${u}000)" \
      "$(q 5)" "$(q I420)" "$(q "$demo/unit$u/")"
  done
  for u in 4 5 6; do
    printf '%s,%s,%s,%s,%s,%s,%s,%s\r\n' "$(q 0)" "$(q 0)" "$(q '')" "$(q 640*480)" "$(q 5000)" "$(q 10)" \
      "$(q RGB)" "$(q '')"
  done
  printf '%s,%s\r\n' "$(q 1)" "$(q 50)"
  for u in 1 2 3 4 5 6; do printf '"18","10","10","10","10","10","0","0"\r\n'; done
} >"$app/selvanedir.ini"

export VCAM_DEVICES=3
# The program's messages (one line per camera, write errors with the path and
# the reason) are kept in $log; a failed demo shows their end.
log="$demo/selvane.log"
failed() {
  echo "demo: $*; the program's last messages ($log):" >&2
  tail -n 20 "$log" >&2
  exit 1
}
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  echo "selvane: press 開始 on the control screen; pictures go to $demo/unit1..3, messages to $log"
  "$app/selvane" 2>&1 | tee "$log"
  exit "${PIPESTATUS[0]}"
fi

# No display: a virtual one, an accessibility bus, and the operator's press.
source scripts/virtual_display.sh
start_virtual_display "$demo"
trap 'kill $xvfb 2>/dev/null || true' EXIT
export QT_ACCESSIBILITY=1 NO_AT_BRIDGE=0
on_accessibility_bus '
  "$0/selvane" >"$3" 2>&1 &
  app=$!
  /usr/bin/python3 "$1/scripts/demo/operate.py" selvane "開始|Command2" || exit 1
  sleep 20
  import -window root "$2/capture-screen.png"
  date "+stopped at %Y/%m/%d %H:%M:%S"
  kill $app
' "$app" "$root" "$demo" "$log" || failed "開始 could not be pressed"
/usr/bin/python3 scripts/demo/report.py "$demo/unit1" "$demo/unit2" "$demo/unit3"
for u in 1 2 3; do [ -f "$demo/unit$u/cap.ctl" ] || failed "unit $u published nothing"; done
echo "screenshot: $demo/capture-screen.png; the program's messages: $log"
