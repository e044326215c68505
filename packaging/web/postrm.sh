if [ -d /run/systemd/system ]; then
	systemctl --system daemon-reload >/dev/null || true
fi
if [ "$1" = remove ] && command -v deb-systemd-helper >/dev/null; then
	deb-systemd-helper mask selvane-web.service >/dev/null || true
fi
if [ "$1" = purge ] && command -v deb-systemd-helper >/dev/null; then
	deb-systemd-helper purge selvane-web.service >/dev/null || true
	deb-systemd-helper unmask selvane-web.service >/dev/null || true
fi
