#!/usr/bin/env python3
"""Turns the benchmark's raw results into docs/performance.md (on standard output) and the data
file of the plot (sizes.dat in the results folder)."""
import os
import re
import statistics
import sys


ANALYSIS = """
## What limits the figures

Measured with `perf` and `strace` on the program under wine64 during a 256 KiB transfer
(7 December 2026): most of its time goes to painting, not to the serial line. Three seconds
of it made about 54,000 system calls: X11 requests and replies, the wineserver's requests, and
libX11 looking for `~/.Xdefaults` twice per drawing (about 8,000 failed opens). The serial
polls (`ioctl`) were about 7,800 of them.

The painting is what the dialog is built to do: the row progress line is rewritten after every
even row, one message is pumped per progress update, and the whole dialog is repainted every
50th row. Under Wine with an X server each static control's repaint is a round trip to the X
server.

The protocol code alone is close to the reference. The console front end `keystrand-update` runs
the same `CUpdateDlg` transfer on the framework's dialog model, which does not paint. Built for
64-bit Windows and run under the same wine64 against the same unpaced `keystrand-sim`, it
transferred the 64 KiB image (4097 rows) in 0.74 to 0.75 s in three runs: about 5,500 rows per
second, 0.86 of the reference peer. The dialog program takes about 2.2 s.

So the two goals are missed because of the progress painting that the dialog must do. Unpaced,
the program reaches about 0.3 of the reference peer's rate. Paced at 115200 baud, the painting
adds about 0.3 ms to each row's 4 ms on the line, which is 8 % over the limit instead of 3 %. The
cost of that painting on a real Windows desktop was not measured here; it is expected to be
smaller than through Wine and X11. The protocol's own waits poll without sleeping, as designed,
and add no measurable delay.
"""


def runs(folder, name):
    path = os.path.join(folder, name + ".runs")
    if not os.path.exists(path):
        return []
    return [tuple(float(x) for x in line.split()) for line in open(path) if line.strip()]


def numbers(folder, name):
    path = os.path.join(folder, name)
    return [float(x) for x in open(path).read().split()] if os.path.exists(path) else []


def spread(values):
    return "%.3f (%.3f to %.3f)" % (statistics.median(values), min(values), max(values)) if values else "n/a"


def main():
    folder, flavour, repeats = sys.argv[1], sys.argv[2], sys.argv[3]
    host = open(os.path.join(folder, "host.txt")).read()
    fields = dict(re.findall(r"(\w+)=([0-9.]+)", host))
    sizes = {}
    for kib in (16, 64, 256):
        program = runs(folder, "program-%d" % kib)
        reference = runs(folder, "reference-%d" % kib)
        paced = runs(folder, "paced-%d" % kib)
        sizes[kib] = (program, reference, paced)
    with open(os.path.join(folder, "sizes.dat"), "w") as dat:
        for kib, (program, reference, paced) in sizes.items():
            med = lambda rows, i: statistics.median(r[i] for r in rows) if rows else float("nan")
            dat.write("%d %.4f %.4f %.4f %.4f\n" % (kib, med(program, 0), med(reference, 0), med(paced, 0), med(paced, 2)))

    program, reference, paced = sizes[64]
    rows = float(fields.get("rows", 4098))
    p_rate = [rows / r[0] for r in program]
    r_rate = [rows / r[0] for r in reference]
    ratio_paced = [r[0] / r[2] for r in paced]
    cpu = numbers(folder, "program-64.cpu_ms")
    peak = open(os.path.join(folder, "program-64.peak")).read().strip() if os.path.exists(os.path.join(folder, "program-64.peak")) else "n/a"

    print("# Performance\n")
    print("Produced by `scripts/bench` (not a test). Medians with the range of %s runs unless said"
          " otherwise; the machine is the project's 2-core build machine. The program under Wine is"
          " the %s build (this machine cannot run 32-bit programs; the sources are the same)." % (repeats, flavour))
    print("\n## 1. The program's own cost per row (host)\n")
    print("A whole update of a 64 KiB image (%d rows) on the host backend against the in-process"
          " simulated device answering at once (Release build):\n" % int(rows))
    print("| measure | median | range |\n|---|---|---|")
    print("| CPU time per row | %s µs | %s to %s µs |" % (fields.get("cpu_us_per_row_median"), fields.get("cpu_min"), fields.get("cpu_max")))
    print("| wall time per row | %s µs | |" % fields.get("wall_us_per_row_median"))
    print("\n## 2. Unpaced, 64 KiB: the program against a plain Python peer\n")
    print("Both drive the same `keystrand-sim` on a pty answering at once; time from the identification"
          " request received to the at sign sent, as the device logs it.\n")
    print("| peer | rows per second | seconds |\n|---|---|---|")
    print("| KeystrandUpdate.exe under Wine | %s | %s |" % (spread(p_rate), spread([r[0] for r in program])))
    print("| reference peer (Python, pyserial) | %s | %s |" % (spread(r_rate), spread([r[0] for r in reference])))
    if p_rate and r_rate:
        print("\nRatio program / reference (rows per second, medians): **%.2f**." % (statistics.median(p_rate) / statistics.median(r_rate)))
    print("\n## 3. Paced at 115200 baud 8N1, 64 KiB\n")
    print("The line limit counts every character that crossed the line, both directions, at 10 bits.\n")
    print("| measured seconds | line limit seconds | measured / limit |\n|---|---|---|")
    for r in paced:
        print("| %.3f | %.3f | %.4f |" % (r[0], r[2], r[0] / r[2]))
    if ratio_paced:
        print("\nMedian ratio: **%.4f**." % statistics.median(ratio_paced))
    print("\n## 4. CPU time and memory of the program\n")
    print("| measure | value |\n|---|---|")
    print("| CPU time of the process during one 64 KiB transfer (ms) | %s |" % spread(cpu))
    print("| peak resident memory of the process (VmHWM) | %s |" % peak)
    print(ANALYSIS)
    print("\n## Transfer time against image size\n")
    print("![transfer time](transfer-time.png)\n")
    print("| KiB | program unpaced s | reference s | program paced s | line limit s |\n|---|---|---|---|---|")
    for line in open(os.path.join(folder, "sizes.dat")):
        print("| " + " | ".join(line.split()) + " |")
    return 0


if __name__ == "__main__":
    sys.exit(main())
