#!/usr/bin/env python3
"""Joins the keystrand-update records fetched from every station into one JSON Lines file and
prints a summary: stations, devices, updated, and the devices that failed by outcome.

    gather-records.py RUN_DIR < stations.json

RUN_DIR holds stations/NAME.jsonl, the records each station wrote (a station may have none);
the joined file is RUN_DIR/records.jsonl, every record with the station's inventory name first
("station"), since "host" is what the station calls itself. Standard input is a JSON object:
"stations", every station of the play in inventory order, and "ran", for each station that
reached the update, its "exit_code" and "note" (the program's last line of output).

Exits 0 once the file is written, whatever the records say: whether a station failed is the
playbook's to decide. A line that is not a JSON object is counted as an unreadable record and
left out of the joined file (which holds only records); the station's own file keeps it.
"""
import collections
import json
import os
import sys


def read_records(path):
    """The station's records as (record, line) pairs, the record None where the line is not a
    JSON object."""
    try:
        with open(path, "rb") as f:
            raw = f.read()
    except FileNotFoundError:
        return []
    records = []
    for line in raw.decode("utf-8", "replace").splitlines():
        if not line.strip():
            continue
        try:
            record = json.loads(line)
        except ValueError:
            record = None
        records.append((record if isinstance(record, dict) else None, line.strip()))
    return records


def outcome_counts(counts):
    return ", ".join(f"{word} {n}" for word, n in sorted(counts.items()))


def devices_phrase(devices, updated, failed):
    text = f"{devices} device{'' if devices == 1 else 's'}, {updated} updated, "
    text += f"{sum(failed.values())} failed"
    return text + (f" ({outcome_counts(failed)})" if failed else "")


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: gather-records.py RUN_DIR < stations.json")
    run_dir = sys.argv[1]
    given = json.load(sys.stdin)
    stations, ran = given["stations"], given["ran"]

    joined_path = os.path.join(run_dir, "records.jsonl")
    lines = []
    total_devices = total_updated = 0
    total_failed = collections.Counter()
    failed_stations = 0
    report = []
    for station in stations:
        records = read_records(os.path.join(run_dir, "stations", station + ".jsonl"))
        failed = collections.Counter()
        updated = 0
        for record, line in records:
            if record is None:
                failed["unreadable"] += 1
                continue
            # The record as the station wrote it, after the station's name.
            station_field = '{"station":' + json.dumps(station)
            lines.append(station_field + ("," + line[1:] if record else "}"))
            if record.get("outcome") == "updated":
                updated += 1
            else:
                failed[str(record.get("outcome") or "no outcome")] += 1
        total_devices += len(records)
        total_updated += updated
        total_failed += failed

        if station not in ran:
            failed_stations += 1
            report.append(f"  {station}: did not reach the update (see its failure above)")
            continue
        exit_code, note = int(ran[station]["exit_code"]), ran[station]["note"]
        if exit_code != 0 or failed:
            failed_stations += 1
        if records:
            report.append(f"  {station}: {devices_phrase(len(records), updated, failed)};"
                          f" exit code {exit_code}")
        else:
            report.append(f"  {station}: no records; exit code {exit_code}: {note}")

    # One write of the whole file, flushed: a reader never sees half of it. The folder is there
    # only where a station sent records.
    os.makedirs(run_dir, exist_ok=True)
    partial = joined_path + ".partial"
    with open(partial, "w", encoding="utf-8") as f:
        f.write("".join(line + "\n" for line in lines))
        f.flush()
        os.fsync(f.fileno())
    os.replace(partial, joined_path)

    count = len(stations)
    print(f"{count} station{'' if count == 1 else 's'}"
          f"{f' ({failed_stations} failed)' if failed_stations else ''}, "
          f"{devices_phrase(total_devices, total_updated, total_failed)}")
    print("\n".join(report))
    print(f"Records: {joined_path}")


if __name__ == "__main__":
    main()
