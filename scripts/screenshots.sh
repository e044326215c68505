#!/usr/bin/env bash
# Fresh screenshots of every screen of selvane into docs/screens/ (the names
# listed in docs/screens/README.md; not the web page's two), taken offscreen
# with the program's own style and Japanese font on virtual cameras. The
# capture screen with one and two panes and the control screen after "履歴削除"
# go to build/screenshots/checks/ to be looked at, not published.
# Usage: scripts/screenshots.sh [preset]
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-default}
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j2 --target screenshots selvane korvex plenkit regsvr32
shots=build/screenshots
rm -rf "$shots"
# One 1024 x 768 display at 96 dpi, as an operator's PC has.
QT_QPA_PLATFORM="offscreen:configfile=$PWD/scripts/screenshots/offscreen.json" \
  "build/$preset/out/tools/screenshots" "$shots"
for name in control-screen capture-screen full-screen-view help-screen processing-dialog \
  camera-test-screen-1 camera-test-screen-2; do
  cp "$shots/$name.png" docs/screens/
done
echo "docs/screens/ updated; checks in $shots/checks/"
