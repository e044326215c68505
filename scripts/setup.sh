#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run.
# Idempotent: prints nothing and touches nothing when all of them are present.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev libgl-dev
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-tools
  libturbojpeg0-dev libyuv-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth x11-utils imagemagick fonts-ipafont-gothic
  at-spi2-core python3-pyatspi dbus-x11
  lintian desktop-file-utils appstream
  libmicrohttpd-dev chromium
  samba smbclient libsmbclient-dev
  prometheus-cpp-dev prometheus libcrypt-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq >/dev/null
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
# Debian's prometheus and samba packages start servers on every address at
# once (*:9090; SMB on 139 and 445); the tests start their own on loopback, so
# freshly installed ones are turned off. Sharing write directories for real is
# set up on purpose (docs/sharing.md).
for pair in prometheus:prometheus "samba:smbd nmbd"; do
  if [[ " ${missing[*]} " == *" ${pair%%:*} "* ]] && [ -d /run/systemd/system ]; then
    $SUDO systemctl disable --now ${pair#*:} >/dev/null 2>&1 || true
  fi
done
