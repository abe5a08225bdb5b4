#!/usr/bin/env python3
"""Several devices at once (not a test): keystrand-update on Linux updating 1, 16, 32 and 64
simulated devices paced at 115200 baud, each keystrand-sim on a pty of its own, from one package.
For each count, over a number of runs: the wall time of the whole run, the CPU time of the
program's process (user and system) and its voluntary context switches (its threads' wake-ups),
all from wait4; every run must end with exit code 0, and after the runs every device's flashed
image must equal the HEX file's. Then one more run of each count up to --strace-upto devices
under `strace -f -c`, for the system calls per row. Writes into the results folder several.dat,
one line per count after a first line of facts (repeats, KiB, rows): devices, then median,
smallest and largest of the seconds, of the CPU seconds and of the CPU as a share of one core
in per cent, then the median wake-ups per row of one device; and syscalls.dat: devices, then
reads, polls, sleeps and writes per row of one device.

    several_devices.py UPDATER SIM MAKE_HEX RESULTS [--kib N] [--repeats N] [--counts 1,16,32,64]
                       [--strace-upto N]
"""
import argparse
import os
import signal
import statistics
import subprocess
import sys
import time


def start_device(sim, link, log):
    proc = subprocess.Popen([sim, "--link", link, "--baud", "115200", "--quiet",
                             "--max-seconds", "3600", "--image-out", link + ".image"],
                            stdout=subprocess.PIPE, stderr=open(log, "w"), text=True)
    ready = proc.stdout.readline().strip()
    if ready != link:
        proc.kill()
        raise RuntimeError("the device at %s did not start: %r" % (link, ready))
    return proc


def stop_device(proc):
    proc.send_signal(signal.SIGTERM)
    try:
        proc.wait(timeout=10)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()


def updater_args(updater, package, links):
    args = [updater, "--package", package]
    for link in links:
        args += ["--port", link]
    return args


def one_run(updater, package, links, output):
    """Wall seconds, CPU seconds and voluntary context switches of one update of every device;
    fails unless all succeeded."""
    with open(output, "w") as out:
        start = time.monotonic()
        proc = subprocess.Popen(updater_args(updater, package, links), stdout=out,
                                stderr=subprocess.STDOUT)
        _, status, usage = os.wait4(proc.pid, 0)
        wall = time.monotonic() - start
    proc.returncode = os.waitstatus_to_exitcode(status)
    if proc.returncode != 0:
        raise RuntimeError("%d devices: exit code %d, see %s" % (len(links), proc.returncode, output))
    return wall, usage.ru_utime + usage.ru_stime, usage.ru_nvcsw


def syscalls_per_row(updater, package, links, rows, output):
    """Reads, polls, sleeps and writes per row of one device, from a run under strace -c."""
    report = output + ".strace"
    with open(output, "w") as out:
        code = subprocess.run(["strace", "-f", "-c", "-o", report] +
                              updater_args(updater, package, links), stdout=out,
                              stderr=subprocess.STDOUT).returncode
    if code != 0:
        raise RuntimeError("%d devices under strace: exit code %d, see %s" % (len(links), code, output))
    calls = {}
    for line in open(report):
        fields = line.split()
        # "% time  seconds  usecs/call  calls  [errors]  syscall"
        if len(fields) >= 5 and fields[0][0].isdigit() and fields[3].isdigit():
            calls[fields[-1]] = int(fields[3])
    per_row = lambda *names: sum(calls.get(n, 0) for n in names) / float(rows * len(links))
    return (per_row("read"), per_row("poll", "ppoll"), per_row("clock_nanosleep", "nanosleep"),
            per_row("write"))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("updater")
    parser.add_argument("sim")
    parser.add_argument("make_hex")
    parser.add_argument("results")
    parser.add_argument("--kib", type=int, default=64)
    parser.add_argument("--repeats", type=int, default=3)
    parser.add_argument("--counts", default="1,16,32,64")
    parser.add_argument("--strace-upto", type=int, default=16)
    a = parser.parse_args()

    work = os.path.join(a.results, "several")
    package = os.path.join(work, "package")
    os.makedirs(package, exist_ok=True)
    with open(os.path.join(package, "Keystrand_SM.txt"), "w", newline="") as f:
        f.write("2.10\r\nbench.hex\r\n")
    subprocess.run([sys.executable, a.make_hex, "--size", str(a.kib * 1024),
                    "--output", os.path.join(package, "bench.hex")], check=True)
    # The program's settings and ttys are its own here: never the user's, never /dev.
    os.environ["KEYSTRAND_UPDATE_SETTINGS"] = os.path.join(work, "settings")
    os.environ["KEYSTRAND_UPDATE_DEV_DIR"] = os.path.join(work, "no-dev")

    rows = sum(1 for line in open(os.path.join(package, "bench.hex")) if line.strip())
    lines = []
    syscalls = []
    for count in [int(c) for c in a.counts.split(",")]:
        links = [os.path.join(work, "line%d" % i) for i in range(1, count + 1)]
        devices = [start_device(a.sim, link, link + ".log") for link in links]
        try:
            runs = [one_run(a.updater, package, links, os.path.join(work, "run-%d-%d.out" % (count, r)))
                    for r in range(a.repeats)]
            if count <= a.strace_upto:
                calls = syscalls_per_row(a.updater, package, links, rows,
                                         os.path.join(work, "strace-%d.out" % count))
                syscalls.append("%d %.3f %.3f %.3f %.3f\n" % ((count,) + calls))
        finally:
            for d in devices:
                stop_device(d)
        compare = os.path.join(os.path.dirname(a.make_hex), "compare_hex_images.py")
        for link in links:
            if subprocess.run([sys.executable, compare, os.path.join(package, "bench.hex"),
                               link + ".image"]).returncode != 0:
                raise RuntimeError("%s does not hold the HEX file's image" % link)
        walls = [w for w, _, _ in runs]
        cpus = [c for _, c, _ in runs]
        shares = [100.0 * c / w for w, c, _ in runs]
        wakeups = [n / float(rows * count) for _, _, n in runs]
        print("%d devices: %s s, CPU %s s (%s %% of one core), %s wake-ups per row and device,"
              " every image equal to the file" % (
                  count, " ".join("%.2f" % w for w in walls), " ".join("%.3f" % c for c in cpus),
                  " ".join("%.1f" % x for x in shares), " ".join("%.2f" % x for x in wakeups)),
              flush=True)
        lines.append("%d %.3f %.3f %.3f %.4f %.4f %.4f %.2f %.2f %.2f %.3f\n" % (
            count, statistics.median(walls), min(walls), max(walls), statistics.median(cpus),
            min(cpus), max(cpus), statistics.median(shares), min(shares), max(shares),
            statistics.median(wakeups)))
    with open(os.path.join(a.results, "several.dat"), "w") as f:
        f.write("# repeats %d kib %d rows %d\n" % (a.repeats, a.kib, rows))
        f.writelines(lines)
    with open(os.path.join(a.results, "syscalls.dat"), "w") as f:
        f.writelines(syscalls)
    return 0


if __name__ == "__main__":
    sys.exit(main())
