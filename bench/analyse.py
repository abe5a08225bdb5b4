#!/usr/bin/env python3
"""Reads the simulated device's logs of benchmark runs and prints, per run, the transfer time
(from the identification request received to the at sign sent), and the line limit of that
exchange at a given baud rate: every character that crossed the line, both ways, 10 bits each.

    analyse.py LOG [BAUD]     "seconds characters limit" per transfer
    analyse.py --entries LOG  "road entry transfer" per update: the road ("application" where
                              the program asked the identity first, else "boot"), the seconds
                              from the program's opening of the line to the identification
                              request, and from there to the at sign"""
import re
import sys

LINE = re.compile(r'^\[\s*([0-9.]+) ms\] (rx|tx|--) (.*)$')


def events(path):
    """Yields (seconds, kind, rest) for each line of the device's log: kind rx, tx or --."""
    with open(path, errors="replace") as f:
        for line in f:
            m = LINE.match(line.rstrip("\n"))
            if m:
                yield float(m.group(1)) / 1000.0, m.group(2), m.group(3)


def sessions(path):
    """Yields (seconds, characters) for each completed transfer in the log."""
    start, chars = None, 0
    for t, kind, rest in events(path):
        if kind == "rx" and "#&!KYST-SM35" in rest:
            start, chars = t, 0
        if start is None:
            continue
        if kind in ("rx", "tx"):
            text = rest[rest.find('"') + 1:rest.rfind('"')]
            chars += len(re.sub(r'\\x[0-9A-Fa-f]{2}|\\.', "_", text))
        if kind == "--" and rest.startswith("file complete"):
            yield t - start, chars
            start = None


def entries(path):
    """Yields (road, entry seconds, transfer seconds) for each completed update in the log."""
    opened, request, road = None, None, "boot"
    for t, kind, rest in events(path):
        if kind == "--" and rest.startswith("the program opened the line"):
            opened, request, road = t, None, "boot"
        elif kind == "rx" and "<V" in rest and opened is not None and request is None:
            road = "application"
        elif kind == "rx" and "#&!KYST-SM35" in rest and opened is not None:
            request = t
        elif kind == "--" and rest.startswith("file complete") and request is not None:
            yield road, request - opened, t - request
            opened, request = None, None


def main():
    if sys.argv[1] == "--entries":
        for road, entry, transfer in entries(sys.argv[2]):
            print("%s %.4f %.4f" % (road, entry, transfer))
        return 0
    baud = int(sys.argv[2]) if len(sys.argv) > 2 else 115200
    for seconds, chars in sessions(sys.argv[1]):
        print("%.4f %d %.4f" % (seconds, chars, chars * 10.0 / baud))
    return 0


if __name__ == "__main__":
    sys.exit(main())
