#!/usr/bin/env python3
"""A program that works a terminal's modem lines, for the tests of keystrand-modem-lines.

    modem_lines_probe.py PATH STEP...

opens PATH (raw, 9600 baud) and runs each step, printing one line per step:
    get              "get 0x160" (TIOCMGET's bits) or "get error 25" (its errno)
    bis:LINES        TIOCMBIS; LINES is dtr, rts or dtr+rts; prints "bis ok" or "bis error N"
    bic:LINES        TIOCMBIC, likewise
    set:LINES        TIOCMSET, likewise ("set:" alone clears both)
    write:TEXT       writes TEXT
    dsr-off:SECONDS  reads the lines until DSR is off, at most SECONDS: "dsr-off yes" or "dsr-off no"
"""
import fcntl
import os
import struct
import sys
import termios
import time

NAMES = {"dtr": termios.TIOCM_DTR, "rts": termios.TIOCM_RTS}
REQUESTS = {"bis": termios.TIOCMBIS, "bic": termios.TIOCMBIC, "set": termios.TIOCMSET}


def get(fd):
    try:
        return struct.unpack("i", fcntl.ioctl(fd, termios.TIOCMGET, struct.pack("i", 0)))[0]
    except OSError as error:
        return -error.errno


def main():
    fd = os.open(sys.argv[1], os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
    attributes = termios.tcgetattr(fd)
    attributes[4] = attributes[5] = termios.B9600
    termios.tcsetattr(fd, termios.TCSANOW, attributes)
    for step in sys.argv[2:]:
        name, _, value = step.partition(":")
        if name == "get":
            bits = get(fd)
            print("get " + ("0x%x" % bits if bits >= 0 else "error %d" % -bits))
        elif name in REQUESTS:
            bits = 0
            for line in filter(None, value.split("+")):
                bits |= NAMES[line]
            try:
                fcntl.ioctl(fd, REQUESTS[name], struct.pack("i", bits))
                print(name + " ok")
            except OSError as error:
                print("%s error %d" % (name, error.errno))
        elif name == "write":
            os.write(fd, value.encode())
            print("write ok")
        elif name == "dsr-off":
            deadline = time.monotonic() + float(value)
            off = False
            while not off and time.monotonic() < deadline:
                bits = get(fd)
                off = bits >= 0 and not bits & termios.TIOCM_DSR
                time.sleep(0.005)
            print("dsr-off " + ("yes" if off else "no"))
        else:
            sys.exit("unknown step " + step)
        sys.stdout.flush()
    os.close(fd)


if __name__ == "__main__":
    main()
