#!/usr/bin/env python3
"""Compares the memory images of two Intel-HEX files (addresses and bytes, not the rows): exit 0
when equal, 1 when they differ or a file cannot be read."""
import sys


def image(path):
    memory, base = {}, 0
    with open(path, "r", newline="") as f:
        for line in f:
            line = line.strip()
            if not line:
                continue
            if not line.startswith(":"):
                raise ValueError("not a HEX row: %r" % line)
            raw = bytes.fromhex(line[1:])
            if sum(raw) & 0xFF:
                raise ValueError("bad checksum: %r" % line)
            length, address, kind, data = raw[0], (raw[1] << 8) | raw[2], raw[3], raw[4:4 + raw[0]]
            if len(data) != length:
                raise ValueError("short row: %r" % line)
            if kind == 0:
                for i, b in enumerate(data):
                    memory[base + address + i] = b
            elif kind == 2:
                base = ((data[0] << 8) | data[1]) << 4
            elif kind == 4:
                base = ((data[0] << 8) | data[1]) << 16
            elif kind == 1:
                break
    return memory


def main():
    if len(sys.argv) != 3:
        print("usage: compare_hex_images.py EXPECTED.hex ACTUAL.hex", file=sys.stderr)
        return 1
    try:
        expected, actual = image(sys.argv[1]), image(sys.argv[2])
    except (OSError, ValueError) as error:
        print(error, file=sys.stderr)
        return 1
    if expected != actual:
        missing = sorted(set(expected) - set(actual))[:5]
        print("images differ: %d bytes expected, %d held; first missing %s"
              % (len(expected), len(actual), ["%X" % a for a in missing]), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
