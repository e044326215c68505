# Sourced by the scripts that run the program as an operator would, without
# a display: a virtual X display and an accessibility bus.
#
#   start_virtual_display DIR   starts Xvfb (1280 x 1024) on a free display,
#                               exports DISPLAY and sets $xvfb to its process
#                               id, which the caller ends on exit; DIR holds
#                               the file in which Xvfb names the display
#   on_accessibility_bus SCRIPT ARG...
#                               runs `bash -c SCRIPT ARG...` in a D-Bus
#                               session with the accessibility bus and its
#                               registry started and Qt's accessibility on

start_virtual_display() {
  local named="$1/display"
  exec 3>"$named"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 50); do [ -s "$named" ] && break; sleep 0.1; done
  export DISPLAY=":$(head -1 "$named")"
}

on_accessibility_bus() {
  local script=$1
  shift
  export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
  dbus-run-session -- bash -c '
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
    owned "$DBUS_SESSION_BUS_ADDRESS" org.a11y.Bus || exit 1
    a11y=$(dbus-send --session --print-reply=literal --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress | tr -d " ")
    /usr/libexec/at-spi2-registryd >/dev/null 2>&1 &
    owned "$a11y" org.a11y.atspi.Registry || exit 1
    '"$script" "$@"
}
