#!/usr/bin/python3
"""Checks what a unit's write directory publishes, byte by byte: the 48-byte
cap.ctl record, the alternating JPEG slot files and their picture size, and
the capture time text; with --after TIME, that the newest picture was taken
at or after TIME ("YYYY/MM/DD HH:MM:SS"). Prints "N passed, N failed"."""
import os
import re
import struct
import sys

results = []


def check(ok, what):
    results.append(ok)
    if not ok:
        print(f"FAILED: {what}")


def jpeg_size(path):
    data = open(path, "rb").read()
    if data[:2] != b"\xff\xd8" or data[-2:] != b"\xff\xd9":
        return None
    i = 2
    while i + 9 < len(data):
        if data[i] != 0xFF:
            return None
        marker, length = data[i + 1], struct.unpack(">H", data[i + 2:i + 4])[0]
        if 0xC0 <= marker <= 0xC2:
            height, width = struct.unpack(">HH", data[i + 5:i + 9])
            return width, height
        i += 2 + length
    return None


def unit(directory):
    ctl = os.path.join(directory, "cap.ctl")
    check(os.path.isfile(ctl), f"{ctl} exists")
    if not os.path.isfile(ctl):
        return
    data = open(ctl, "rb").read()
    check(len(data) == 48, f"{ctl} is 48 bytes")
    state, next_slot, w0, w1 = struct.unpack_from("<hhhh", data)
    check(state == 2, f"{ctl} says JPEG (state {state})")
    check(next_slot in (0, 1), f"{ctl} next slot {next_slot}")
    check(w0 == 1 and w1 == 1, f"{ctl} both slots written ({w0}, {w1})")
    texts = [data[8 + 20 * slot:28 + 20 * slot].decode("cp932") for slot in (0, 1)]
    for slot, text in enumerate(texts):
        check(re.fullmatch(r"\d{4}/\d\d/\d\d \d\d:\d\d:\d\d ", text) is not None, f"slot {slot} text {text!r}")
        image = os.path.join(directory, f"cap{slot}.jpg")
        check(os.path.isfile(image) and jpeg_size(image) == (640, 480), f"{image} is a 640 x 480 JPEG")
    newest, older = texts[1 - next_slot], texts[next_slot]
    check(newest > older, f"the slot before next ({newest!r}) is the newest ({older!r})")
    if after is not None:
        check(newest.strip() >= after, f"newest picture ({newest!r}) taken after the restart at {after!r}")
    check(not any(n.endswith(".bmp") for n in os.listdir(directory)), "no BMP files in JPEG mode")


args = sys.argv[1:]
after = None
if args[:1] == ["--after"]:
    after, args = args[1], args[2:]
for d in args:
    unit(d)
print(f"{results.count(True)} passed, {results.count(False)} failed")
sys.exit(0 if all(results) else 1)
