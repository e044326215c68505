#!/usr/bin/python3
"""Prints what a unit's write directory publishes: the cap.ctl fields, the
newest image file and its size, and whether the CAPDIR marker is there."""
import os
import struct
import sys


def report(unit, directory):
    ctl = os.path.join(directory, "cap.ctl")
    if not os.path.exists(ctl):
        print(f"unit {unit}: {directory}: no cap.ctl (nothing published)")
        return
    data = open(ctl, "rb").read()
    state, next_slot, w0, w1 = struct.unpack_from("<hhhh", data)
    texts = [data[8:28].decode("cp932", "replace"), data[28:48].decode("cp932", "replace")]
    ext = {0: "bmp", 2: "jpg"}.get(state, "?")
    newest = 1 - next_slot
    image = os.path.join(directory, f"cap{newest}.{ext}")
    size = os.path.getsize(image) if os.path.exists(image) else 0
    marker = "present" if os.path.isdir(os.path.join(directory, "CAPDIR")) else "absent"
    print(f"unit {unit}: {directory}")
    print(f"  cap.ctl: state={state} next_slot={next_slot} written=({w0},{w1}) "
          f"slot0='{texts[0]}' slot1='{texts[1]}'")
    print(f"  newest: {os.path.basename(image)} ({size} bytes), CAPDIR {marker}")


if __name__ == "__main__":
    for n, d in enumerate(sys.argv[1:], start=1):
        report(n, d)
