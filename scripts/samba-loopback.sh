#!/usr/bin/env bash
# Serves FOLDER (the folder of the units' write directories) through the
# shipped share definition, packaging/samba/selvane.conf, with a private smbd
# on 127.0.0.1:PORT: to try the share before enabling it, and for the tests
# and benchmarks that read through SMB. Readers log in as guests
# (smbclient -N -p PORT //127.0.0.1/selvane). Only WORK is written; the
# system's Samba and its settings are left alone. smbd runs in the
# foreground until stopped (Ctrl-C, or SIGTERM to its process group).
#   samba-loopback.sh FOLDER PORT WORK        (as root: smbd switches users)
set -euo pipefail
[ $# -eq 3 ] || { echo "usage: $0 FOLDER PORT WORK" >&2; exit 2; }
folder=$(realpath "$1")
port=$2
work=$(realpath -m "$3")
fragment=$(realpath "$(dirname "$0")/../packaging/samba/selvane.conf")
mkdir -p "$work/state"
# smbd serves guests as "nobody", and its processes check on each other through
# sockets and lock files in here: a folder they cannot enter makes every
# other process look dead, and smbd loses share-mode records and panics.
chmod 755 "$work"
# The [selvane] section repeated after the include: the test folder and guest
# readers; every other setting is the shipped one.
cat >"$work/smb.conf" <<CONF
[global]
   server role = standalone server
   smb ports = $port
   interfaces = 127.0.0.1
   bind interfaces only = yes
   disable netbios = yes
   load printers = no
   private dir = $work/state
   lock directory = $work/state
   state directory = $work/state
   cache directory = $work/state
   pid directory = $work/state
   ncalrpc dir = $work/state/ncalrpc
   log file = $work/smbd.log
   passdb backend = tdbsam:$work/state/passdb.tdb
   map to guest = Bad User
   dbwrap_tdb_mutexes:* = no
   include = $fragment
[selvane]
   path = $folder
   valid users =
   guest ok = yes
CONF
cd "$work"
exec smbd --foreground --no-process-group -s "$work/smb.conf"
