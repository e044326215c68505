#!/usr/bin/env bash
# Builds the Debian package from a built tree and checks it without installing
# it: file name, control fields, contents, maintainer scripts, the menu entry
# and AppStream metadata, and lintian (no errors; every warning fixed or
# overridden with its reason in docs/packaging.md).
# Usage: check_deb.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
arch=$(dpkg --print-architecture)
work="$build/package-check"
rm -rf "$work"
mkdir -p "$work"
fail() { echo "package check: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$work" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack failed"; }
deb="$work/selvane_${version}_${arch}.deb"
[ -f "$deb" ] || fail "no $deb; made: $(ls "$work"/*.deb 2>/dev/null)"

# Control fields.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = selvane ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"
depends=$(field Depends)
for need in libqt6widgets6 libgstreamer1.0-0 libturbojpeg0 libyuv0 gstreamer1.0-plugins-base \
            gstreamer1.0-plugins-good libqt6gui6 fonts-ipafont-gothic; do
  grep -qE "(^|, )$need( |,|$)" <<<"$depends" || fail "Depends lacks $need: $depends"
done
# The X11 and offscreen platform plugins come with libqt6gui6.
! grep -q qt6-qpa-plugins <<<"$depends" || fail "Depends names qt6-qpa-plugins (VNC and touch only): $depends"

[ "$(field Suggests)" = samba ] || fail "Suggests: $(field Suggests)"

# Contents.
dpkg-deb -c "$deb" | awk '{ print $1 " " $6 ($7 == "->" ? " -> " $8 : "") }' >"$work/contents"
have() { grep -qE "^$1 \\./$2\$" "$work/contents" || fail "missing $2 ($1)"; }
for f in selvane brimlay brimlift regsvr32; do have '-rwxr-xr-x' "usr/lib/selvane/$f"; done
for f in Korvex.OCX libplatform.so libsvcamera.so libplenkit.so libquillo.so; do have '-rw-r--r--' "usr/lib/selvane/$f"; done
have '-rw-r--r--' usr/lib/selvane/SELVANE.HLP
for f in selvane brimlay brimlift; do have 'lrwxrwxrwx' "usr/bin/$f -> \\.\\./lib/selvane/$f"; done
for f in selvane.1.gz brimlay.1.gz; do have '-rw-r--r--' "usr/share/man/man1/$f"; done
have 'lrwxrwxrwx' 'usr/share/man/man1/brimlift.1.gz -> brimlay.1.gz'
have '-rw-r--r--' usr/share/applications/org.selvane.Selvane.desktop
have '-rw-r--r--' usr/share/metainfo/org.selvane.Selvane.metainfo.xml
have '-rw-r--r--' usr/share/icons/hicolor/scalable/apps/selvane.svg
have '-rw-r--r--' usr/share/doc/selvane/copyright
have '-rw-r--r--' usr/share/doc/selvane/changelog.gz
have '-rw-r--r--' etc/selvane/selvanedir.ini
have '-rw-r--r--' usr/share/selvane/samba/selvane.conf
! grep -qE '/(tests|bench|fuzz)/|TestCtl' "$work/contents" || fail "test or benchmark files in the package"
if grep -q 'usr/lib/selvane/selvane-web$' "$work/contents"; then
  have '-rw-r--r--' lib/systemd/system/selvane-web.service
  have '-rw-r--r--' etc/default/selvane-web
  have 'lrwxrwxrwx' 'usr/bin/selvane-web -> \.\./lib/selvane/selvane-web'
fi
dpkg-deb -x "$deb" "$work/root"
! file "$work/root/usr/lib/selvane/selvane" | grep -q 'not stripped' || fail "selvane is not stripped"

# Hardening of every shipped ELF file: relro and bind-now, a stack protector,
# CET branch targets (endbr64; Debian 12's glibc start files carry no CET note,
# so the linked files cannot). lintian's fortify and bind-now tags are below.
for f in "$work"/root/usr/lib/selvane/*; do
  [ "$(head -c4 "$f" | od -An -c | tr -d ' ')" = 177ELF ] || continue
  name=${f##*/}
  # grep reads all (no -q): an early exit would fail the pipeline.
  readelf -lW "$f" | grep GNU_RELRO >/dev/null || fail "$name: no relro"
  readelf -dW "$f" | grep -E 'BIND_NOW|FLAGS_1.* NOW' >/dev/null || fail "$name: no bind-now"
  readelf --dyn-syms -W "$f" | grep '__stack_chk_fail' >/dev/null || fail "$name: no stack protector"
  [ "$arch" != amd64 ] || objdump -d "$f" | grep -c endbr64 >/dev/null || fail "$name: not built for CET (no endbr64)"
done

# The web service's sandbox: systemd's own rating, 3.0 or better.
unit="$work/root/lib/systemd/system/selvane-web.service"
if [ -f "$unit" ] && command -v systemd-analyze >/dev/null; then
  systemd-analyze security --offline=true --threshold=30 --no-pager "$unit" >"$work/unit-security.log" 2>&1 ||
    { grep -E '✗|Overall' "$work/unit-security.log"; fail "selvane-web.service rated above 3.0"; }
  grep -q '^RestartPreventExitStatus=2$' "$unit" || fail "selvane-web.service restarts a bad command line"
fi
cmp -s "$work/root/etc/selvane/selvanedir.ini" "$(dirname "$0")/../../packaging/selvanedir.ini" || fail "default settings differ"
if command -v testparm >/dev/null; then
  testparm -s "$work/root/usr/share/selvane/samba/selvane.conf" >/dev/null 2>"$work/testparm.log" ||
    { cat "$work/testparm.log"; fail "share definition"; }
fi

# Maintainer scripts: Korvex.OCX registered machine-wide, removed on removal.
dpkg-deb -e "$deb" "$work/control"
grep -q '^/etc/selvane/selvanedir.ini$' "$work/control/conffiles" || fail "selvanedir.ini is no conffile"
grep -q 'regsvr32 /m /s /usr/lib/selvane/Korvex.OCX' "$work/control/postinst" || fail "postinst does not register"
grep -q 'regsvr32 /m /u /s /usr/lib/selvane/Korvex.OCX' "$work/control/prerm" || fail "prerm does not unregister"
grep -q 'configure|abort-upgrade|abort-deconfigure|abort-remove)' "$work/control/postinst" ||
  fail "postinst does not register again when a removal or upgrade is rolled back"
grep -q 'rm -rf "$state"' "$work/control/postrm" || fail "purge leaves /var/lib/selvane"
for s in postinst prerm postrm; do sh -n "$work/control/$s" || fail "$s: syntax"; done

# Menu entry and metadata, by their own validators where present.
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$work/root/usr/share/applications/org.selvane.Selvane.desktop" || fail "desktop entry"
fi
grep -q '^Name\[ja\]=' "$work/root/usr/share/applications/org.selvane.Selvane.desktop" || fail "no Japanese name"
grep -q '^Comment\[ja\]=' "$work/root/usr/share/applications/org.selvane.Selvane.desktop" || fail "no Japanese comment"
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net --no-color "$work/root/usr/share/metainfo/org.selvane.Selvane.metainfo.xml" >"$work/appstream.log" ||
    { cat "$work/appstream.log"; fail "AppStream metadata"; }
fi

# lintian: errors and warnings fail; overrides carry their reasons.
lintian --fail-on error,warning --display-info --tag-display-limit 0 "$deb" | tee "$work/lintian.log" || fail "lintian"
! grep -q 'hardening-' "$work/lintian.log" || fail "lintian: hardening tags"
echo "package check: $deb passed ($(wc -l <"$work/contents") entries, Depends: $depends)"
