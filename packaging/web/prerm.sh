if [ -d /run/systemd/system ] && [ "$1" = remove ]; then
	deb-systemd-invoke stop selvane-web.service >/dev/null || true
fi
