# selvane-web.service is installed disabled; enabling it is the
# administrator's choice, kept across upgrades. As debhelper's snippet for
# units not enabled by default: was-enabled answers "yes" when no state has
# been recorded yet, so it is asked only once the package recorded one.
if [ "$1" = configure ] || [ "$1" = abort-upgrade ] || [ "$1" = abort-deconfigure ] || [ "$1" = abort-remove ]; then
	if deb-systemd-helper debian-installed selvane-web.service; then
		deb-systemd-helper unmask selvane-web.service >/dev/null || true
		if deb-systemd-helper --quiet was-enabled selvane-web.service; then
			deb-systemd-helper enable selvane-web.service >/dev/null || true
		fi
	fi
	deb-systemd-helper update-state selvane-web.service >/dev/null || true
	if [ -d /run/systemd/system ]; then
		systemctl --system daemon-reload >/dev/null || true
		deb-systemd-invoke try-restart selvane-web.service >/dev/null || true
	fi
fi
