#!/usr/bin/env python3
"""The far end of a serial line for the COM-port check under Wine: a pty whose slave end is linked
where Wine looks for COMn; every line it receives is answered with "ack <speed>", the speed the
program has set on the line at that moment."""
import argparse
import os
import select
import sys
import termios
import time

SPEEDS = {getattr(termios, "B%d" % s): s for s in (300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200)}


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--link", required=True, help="path to make a symbolic link to the slave end")
    parser.add_argument("--seconds", type=float, default=60.0, help="end by itself after this long")
    parser.add_argument("--log", help="file to append each exchange to")
    args = parser.parse_args()

    master, slave = os.openpty()
    slave_path = os.ttyname(slave)
    if os.path.lexists(args.link):
        os.unlink(args.link)
    os.symlink(slave_path, args.link)
    print(args.link, flush=True)
    log = open(args.log, "a") if args.log else None
    buffer = b""
    deadline = time.monotonic() + args.seconds
    try:
        while time.monotonic() < deadline:
            ready, _, _ = select.select([master], [], [], 0.1)
            if not ready:
                continue
            try:
                chunk = os.read(master, 4096)
            except OSError:
                time.sleep(0.05)  # the program closed its end; wait for the next open
                continue
            buffer += chunk
            while b"\n" in buffer:
                line, buffer = buffer.split(b"\n", 1)
                speed = SPEEDS.get(termios.tcgetattr(master)[5], 0)
                reply = "ack %d\n" % speed
                os.write(master, reply.encode())
                if log:
                    log.write("%s -> %s" % (line.decode(errors="replace"), reply))
                    log.flush()
    finally:
        os.unlink(args.link)
    return 0


if __name__ == "__main__":
    sys.exit(main())
