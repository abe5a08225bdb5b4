#!/usr/bin/env python3
"""Holds one pseudo-terminal pair open for an end-to-end test: links the name LINK to the
terminal end (what Wine opens as a COM port), keeps the other end and writes whatever arrives on it
to LOG, until it is terminated or LIFETIME seconds have passed."""

import os
import select
import signal
import sys
import time
import tty


def main(argv):
    if len(argv) != 3:
        print("usage: pty_hold.py LINK LOG LIFETIME_SECONDS", file=sys.stderr)
        return 2
    link, log_path, lifetime = argv[0], argv[1], float(argv[2])
    master, slave = os.openpty()
    tty.setraw(slave)
    name = os.ttyname(slave)
    # The test's end stays open in this process too, so that the line never hangs up while the
    # program under test opens and closes it.
    tmp = link + ".new"
    if os.path.lexists(tmp):
        os.unlink(tmp)
    os.symlink(name, tmp)
    os.replace(tmp, link)
    stop = []
    signal.signal(signal.SIGTERM, lambda *_: stop.append(1))
    signal.signal(signal.SIGINT, lambda *_: stop.append(1))
    deadline = time.monotonic() + lifetime
    with open(log_path, "ab", buffering=0) as log:
        while not stop and time.monotonic() < deadline:
            ready, _, _ = select.select([master], [], [], 0.2)
            if ready:
                try:
                    data = os.read(master, 4096)
                except OSError:
                    data = b""
                if data:
                    log.write(data)
    if os.path.islink(link) and os.readlink(link) == name:
        os.unlink(link)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
