#!/usr/bin/env bash
# End to end, as an operator: the real program on a virtual display with two
# virtual cameras; the operator ticks units 1 and 2 (use and save boxes) and
# presses "開始" through the accessibility bus, later "戻る" (publication
# must pause) and "開始" again; the published files are checked byte by byte,
# the newest taken after the second start. Then SIGTERM, as at logout: the
# program must end as "終了" does, with status 0 and its frame directory gone.
set -euo pipefail
out=$1       # the program directory of the build
source=$2    # the source tree
work=$(mktemp -d)
trap 'kill ${xvfb:-} 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/program" "$work/unit1" "$work/unit2" "$work/tmp" "$work/run"
chmod 700 "$work/run"
cp "$out"/selvane "$out"/regsvr32 "$out"/Korvex.OCX "$out"/lib*.so "$work/program/"
export PL_REGISTRY="$work/registry.reg" VCAM_DEVICES=2 VCAM_FPS=30 TMPDIR="$work/tmp" XDG_RUNTIME_DIR="$work/run"
"$work/program/regsvr32" /s "$work/program/Korvex.OCX"
{
  for u in 1 2; do printf '"0","0","","640*480","1000","5","I420","%s/"\r\n' "$work/unit$u"; done
  for u in 3 4 5 6; do printf '"0","0","","640*480","5000","10","RGB",""\r\n'; done
  printf '"1","60"\r\n'
} >"$work/program/selvanedir.ini"

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -1 "$work/display")"
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb
status=0
dbus-run-session -- bash -c '
  set -euo pipefail
  # Waits (at most 10 s) until `name` is owned on the bus at `address`.
  owned() {
    for _ in $(seq 100); do
      dbus-send --bus="$1" --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner "string:$2" 2>/dev/null | grep -q "boolean true" && return 0
      sleep 0.1
    done
    echo "$2 never appeared on the bus" >&2
    return 1
  }
  /usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
  owned "$DBUS_SESSION_BUS_ADDRESS" org.a11y.Bus
  a11y=$(dbus-send --session --print-reply=literal --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress | tr -d " ")
  /usr/libexec/at-spi2-registryd >/dev/null 2>&1 &
  owned "$a11y" org.a11y.atspi.Registry
  "$0/program/selvane" >"$0/selvane.log" 2>&1 &
  app=$!
  operate() { /usr/bin/python3 "$1/scripts/demo/operate.py" selvane "${@:2}"; }
  operate "$1" "1号機|Check1(0)" "Check2|Check2(0)" "2号機|Check1(1)" "Check2|Check2(1)" "開始|Command2"
  sleep 5
  # Back to the control screen while capture runs: publication pauses, so
  # cap.ctl of both units soon stays as it is for 2.5 s (running, each
  # changes every second); "開始" again starts it again, with pictures
  # taken after the restart.
  operate "$1" "戻る|Command3"
  quiet=0 last=
  for _ in $(seq 100); do
    now="$(cat "$0/unit1/cap.ctl" "$0/unit2/cap.ctl" | md5sum)"
    if [ "$now" = "$last" ]; then quiet=$((quiet + 1)); else quiet=0 last=$now; fi
    [ $quiet -ge 25 ] && break
    sleep 0.1
  done
  if [ $quiet -lt 25 ]; then
    echo "FAILED: pictures were still published after 戻る" >&2
    exit 1
  fi
  date "+%Y/%m/%d %H:%M:%S" >"$0/restarted"
  operate "$1" "開始|Command2"
  sleep 6
  kill -TERM $app
  if ! wait $app; then
    echo "FAILED: the program did not end cleanly on SIGTERM" >&2
    exit 1
  fi
' "$work" "$source" || status=$?
if compgen -G "$work/run/selvane-*" >/dev/null || compgen -G "$work/tmp/selvane-*" >/dev/null; then
  echo "FAILED: the frame directory was left behind"
  status=1
fi
if ! /usr/bin/python3 "$source/tests/app/e2e/check_published.py" --after "$(cat "$work/restarted" 2>/dev/null)" \
  "$work/unit1" "$work/unit2" || [ "$status" != 0 ]; then
  echo "--- the program's output:"
  tail -40 "$work/selvane.log"
  exit 1
fi
