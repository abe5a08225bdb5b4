#!/usr/bin/env python3
# Writes a deterministic sample firmware image for the Keystrand SM as an Intel-HEX file.

import argparse
import sys

RECORD_DATA = 0x00
RECORD_END_OF_FILE = 0x01
RECORD_EXTENDED_LINEAR_ADDRESS = 0x04


def hex_row(record_type, address, data):
    """One record with its length and checksum, without line end."""
    body = bytes([len(data), (address >> 8) & 0xFF, address & 0xFF, record_type]) + bytes(data)
    checksum = (-sum(body)) & 0xFF
    return ":" + body.hex().upper() + "%02X" % checksum


class Xorshift32:
    """A small generator of our own, so that the output never depends on the Python version."""

    def __init__(self, seed):
        self.state = (seed * 2654435761 + 0x9E3779B9) & 0xFFFFFFFF or 0x2545F491

    def next(self):
        x = self.state
        x ^= (x << 13) & 0xFFFFFFFF
        x ^= x >> 17
        x ^= (x << 5) & 0xFFFFFFFF
        self.state = x
        return x


def firmware_bytes(size, seed):
    """Looks like a small program: a table of 32-bit little-endian vectors, code-like bytes,
    a text block, and erased (0xFF) padding at the end of every 4 KiB block."""
    rng = Xorshift32(seed)
    out = bytearray()
    vectors = min(size, 64)
    while len(out) < vectors:
        word = 0x00000100 + (rng.next() & 0x7FFC) + 1
        out += word.to_bytes(4, "little")
    del out[vectors:]
    banner = b"Keystrand SM sample firmware, seed %d\x00" % seed
    position = len(out)
    while len(out) < size:
        in_block = position % 4096
        if in_block >= 4096 - 48:
            out.append(0xFF)
        elif in_block == 256 and position // 4096 == 0:
            out += banner
            position = len(out)
            continue
        else:
            out.append(rng.next() >> 24)
        position += 1
    return bytes(out[:size])


def hex_lines(data, start, record_size):
    lines = []
    page = 0
    offset = 0
    while offset < len(data):
        address = start + offset
        if (address >> 16) != page:
            page = address >> 16
            lines.append(hex_row(RECORD_EXTENDED_LINEAR_ADDRESS, 0, page.to_bytes(2, "big")))
        # A record never crosses a 64 KiB page.
        room = 0x10000 - (address & 0xFFFF)
        count = min(record_size, len(data) - offset, room)
        lines.append(hex_row(RECORD_DATA, address & 0xFFFF, data[offset:offset + count]))
        offset += count
    lines.append(hex_row(RECORD_END_OF_FILE, 0, b""))
    return lines


def number(text):
    value = int(text, 0)
    if value < 0:
        raise argparse.ArgumentTypeError("must not be negative")
    return value


def main(argv):
    parser = argparse.ArgumentParser(
        description="Write a deterministic Intel-HEX sample firmware image (CRLF line ends).")
    parser.add_argument("--size", type=number, default=32768,
                        help="bytes of data (default 32768); 0x prefix for hex")
    parser.add_argument("--start", type=number, default=0,
                        help="address of the first byte (default 0); 0x prefix for hex")
    parser.add_argument("--seed", type=number, default=1, help="content seed (default 1)")
    parser.add_argument("--record-size", type=number, default=16,
                        help="data bytes per record, 1 to 255 (default 16)")
    parser.add_argument("-o", "--output", help="file to write (default: standard output)")
    args = parser.parse_args(argv)
    if not 1 <= args.record_size <= 255:
        parser.error("--record-size must be 1 to 255")
    if args.start + args.size > 1 << 32:
        parser.error("the image must end below 4 GiB")
    if args.size > 64 << 20:
        parser.error("--size is limited to 64 MiB")
    text = "".join(line + "\r\n" for line in
                   hex_lines(firmware_bytes(args.size, args.seed), args.start, args.record_size))
    if args.output:
        with open(args.output, "wb") as out:
            out.write(text.encode("ascii"))
    else:
        sys.stdout.buffer.write(text.encode("ascii"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
