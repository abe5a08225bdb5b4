#!/usr/bin/env python3
"""Several devices at once (not a test): keystrand-update on Linux updating 1, 4, 16 and 32
simulated devices paced at 115200 baud, each keystrand-sim on a pty of its own, from one package.
For each count, the wall time of the whole run and the CPU time of the program's process (user
and system, from wait4), over a number of runs; every run must end with exit code 0, and after
the runs every device's flashed image must equal the HEX file's. Writes several.dat into the results folder, one
line per count after a first line of facts (repeats, KiB, rows): devices, median seconds,
fastest, slowest, median CPU seconds.

    several_devices.py UPDATER SIM MAKE_HEX RESULTS [--kib N] [--repeats N] [--counts 1,4,16,32]
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


def one_run(updater, package, links, output):
    """Wall seconds and CPU seconds of one update of every device; fails unless all succeeded."""
    args = [updater, "--package", package]
    for link in links:
        args += ["--port", link]
    with open(output, "w") as out:
        start = time.monotonic()
        proc = subprocess.Popen(args, stdout=out, stderr=subprocess.STDOUT)
        _, status, usage = os.wait4(proc.pid, 0)
        wall = time.monotonic() - start
    proc.returncode = os.waitstatus_to_exitcode(status)
    if proc.returncode != 0:
        raise RuntimeError("%d devices: exit code %d, see %s" % (len(links), proc.returncode, output))
    return wall, usage.ru_utime + usage.ru_stime


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("updater")
    parser.add_argument("sim")
    parser.add_argument("make_hex")
    parser.add_argument("results")
    parser.add_argument("--kib", type=int, default=64)
    parser.add_argument("--repeats", type=int, default=3)
    parser.add_argument("--counts", default="1,4,16,32")
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

    lines = []
    for count in [int(c) for c in a.counts.split(",")]:
        links = [os.path.join(work, "line%d" % i) for i in range(1, count + 1)]
        devices = [start_device(a.sim, link, link + ".log") for link in links]
        try:
            runs = [one_run(a.updater, package, links, os.path.join(work, "run-%d-%d.out" % (count, r)))
                    for r in range(a.repeats)]
        finally:
            for d in devices:
                stop_device(d)
        compare = os.path.join(os.path.dirname(a.make_hex), "compare_hex_images.py")
        for link in links:
            if subprocess.run([sys.executable, compare, os.path.join(package, "bench.hex"),
                               link + ".image"]).returncode != 0:
                raise RuntimeError("%s does not hold the HEX file's image" % link)
        walls = [w for w, _ in runs]
        cpus = [c for _, c in runs]
        print("%d devices: %s s, CPU %s s, every image equal to the file" % (count, " ".join("%.2f" % w for w in walls),
                                              " ".join("%.3f" % c for c in cpus)), flush=True)
        lines.append("%d %.3f %.3f %.3f %.4f\n" % (count, statistics.median(walls), min(walls),
                                                   max(walls), statistics.median(cpus)))
    rows = sum(1 for line in open(os.path.join(package, "bench.hex")) if line.strip())
    with open(os.path.join(a.results, "several.dat"), "w") as f:
        f.write("# repeats %d kib %d rows %d\n" % (a.repeats, a.kib, rows))
        f.writelines(lines)
    return 0


if __name__ == "__main__":
    sys.exit(main())
