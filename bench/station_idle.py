#!/usr/bin/env python3
"""The station idle (not a test): keystrand-update --watch with nothing plugged in, its CPU time
over a window of seconds after it has settled in. Twice: on a made-up, empty /dev (nothing
happens there), and on this machine's own /dev with a filter that no port passes (the machine's
own comings and goings wake it; no device is ever touched). The CPU time is the process's user
and system time from /proc/PID/stat, and the main thread's time on a core in nanoseconds from
/proc/PID/schedstat; the wake-ups are its voluntary context switches. Writes station-idle.dat
into the results folder: one line per run: name, seconds, CPU seconds (stat), CPU seconds
(schedstat), wake-ups.

    station_idle.py UPDATER RESULTS [--seconds N]
"""
import argparse
import os
import subprocess
import sys
import time

from several_devices import stop_device


def cpu_ticks(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])  # utime, stime (fields 14 and 15)


def on_core_ns(pid):
    with open("/proc/%d/schedstat" % pid) as f:
        return int(f.read().split()[0])


def wakeups(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("voluntary_ctxt_switches:"):
                return int(line.split()[1])
    return 0


def measure(updater, package, work, name, dev_dir, extra, seconds):
    env = dict(os.environ)
    env["KEYSTRAND_UPDATE_SETTINGS"] = os.path.join(work, "settings")
    env["KEYSTRAND_UPDATE_DEV_DIR"] = dev_dir
    env["KEYSTRAND_UPDATE_SYS_DIR"] = os.path.join(work, "sys")
    output = os.path.join(work, name + ".out")
    with open(output, "w") as out:
        proc = subprocess.Popen([updater, "--package", package, "--watch"] + extra,
                                stdout=out, stderr=subprocess.STDOUT, env=env)
    try:
        deadline = time.monotonic() + 30
        while "Watching" not in open(output).read():
            if proc.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError("%s: the station did not begin: %s" % (name, open(output).read()))
            time.sleep(0.1)
        time.sleep(2)  # settled in
        ticks, ns, woken, start = cpu_ticks(proc.pid), on_core_ns(proc.pid), wakeups(proc.pid), time.monotonic()
        time.sleep(seconds)
        ticks = cpu_ticks(proc.pid) - ticks
        ns = on_core_ns(proc.pid) - ns
        woken = wakeups(proc.pid) - woken
        wall = time.monotonic() - start
    finally:
        stop_device(proc)
    if proc.returncode != 0:
        raise RuntimeError("%s: exit code %d, see %s" % (name, proc.returncode, output))
    with open(output) as f:
        if "No device was updated." not in f.read():
            raise RuntimeError("%s: a device was updated, see %s" % (name, output))
    return wall, ticks / os.sysconf("SC_CLK_TCK"), ns / 1e9, woken


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("updater")
    parser.add_argument("results")
    parser.add_argument("--seconds", type=float, default=10)
    a = parser.parse_args()
    work = os.path.join(a.results, "station-idle")
    package = os.path.join(work, "package")
    for folder in (package, os.path.join(work, "dev"), os.path.join(work, "sys")):
        os.makedirs(folder, exist_ok=True)
    with open(os.path.join(package, "Keystrand_SM.txt"), "w", newline="") as f:
        f.write("2.10\r\nidle.hex\r\n")
    with open(os.path.join(package, "idle.hex"), "w", newline="") as f:
        f.write(":0400000001020304F2\r\n:00000001FF\r\n")
    lines = []
    runs = [("made-up", os.path.join(work, "dev"), []),
            ("machine", "/dev", ["--port-filter", "name=keystrand-bench-no-such-port"])]
    for name, dev_dir, extra in runs:
        wall, cpu, on_core, woken = measure(os.path.abspath(a.updater), package, work, name,
                                            dev_dir, extra, a.seconds)
        lines.append("%s %.3f %.4f %.6f %d" % (name, wall, cpu, on_core, woken))
        print("%s /dev: %.1f s, CPU %.3f s (%.3f %% of one core), on a core %.4f s, %d wake-ups"
              % (name, wall, cpu, 100 * cpu / wall, on_core, woken))
    with open(os.path.join(a.results, "station-idle.dat"), "w") as f:
        f.write("\n".join(lines) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
