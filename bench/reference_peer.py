#!/usr/bin/env python3
"""A plain reference for the boot-loader handshake: sends the identification request, waits for
the version line and the ready character, then streams the HEX rows under XON / XOFF / "~" and
waits for the at sign, exactly as the program does, over the same kind of serial line."""
import argparse
import sys
import time

import serial

XON, XOFF, LINE_COMPLETE, FILE_COMPLETE = b"\x11", b"\x13", b"~", b"@"


def expect(port, wanted, limit):
    deadline = time.monotonic() + limit
    while time.monotonic() < deadline:
        c = port.read(1)
        if c:
            if c != wanted:
                raise RuntimeError("expected %r, got %r" % (wanted, c))
            return
    raise RuntimeError("timeout waiting for %r" % wanted)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("port", help="the serial device, e.g. the keystrand-sim link")
    parser.add_argument("hexfile")
    args = parser.parse_args()
    with open(args.hexfile, "rb") as f:
        rows = [line.rstrip(b"\r\n") for line in f.read().split(b"\n") if line.strip()]
    port = serial.Serial(args.port, 115200, timeout=0.5)
    time.sleep(0.1)
    port.reset_input_buffer()
    start = time.monotonic()
    port.write(b"#&!KYST-SM35")
    reply = b""
    deadline = time.monotonic() + 3.0
    while not reply.endswith(b"\r") and time.monotonic() < deadline:
        reply += port.read(1)
    if reply != b"KYST-SM-2.10\r":
        raise RuntimeError("version reply %r" % reply)
    expect(port, b"?", 2.0)
    for i, row in enumerate(rows):
        expect(port, XON, 2.0)
        port.write(row)
        if i + 1 < len(rows):
            expect(port, XOFF, 2.0)
            expect(port, LINE_COMPLETE, 2.0)
    expect(port, FILE_COMPLETE, 2.0)
    elapsed = time.monotonic() - start
    port.close()
    print("reference rows=%d seconds=%.4f rows_per_second=%.1f" % (len(rows), elapsed, len(rows) / elapsed))
    return 0


if __name__ == "__main__":
    sys.exit(main())
