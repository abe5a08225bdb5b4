#!/usr/bin/env bash
# keystrand-update.exe --watch under Wine: started with no COM port in the serial-port map, it
# updates a device when its COM port appears in the map, leaves it alone while it stays, and
# updates the next when that one's port appears in turn; each update recorded once. Ctrl-C then
# ends the station with the table and exit code 0.
source "$(dirname "$0")/lib.sh"

e2e_init console_watch
e2e_require_wine
e2e_prefix_use
e2e_wine_start # no COM port in the map: nothing plugged in

e2e_console_package 2048
package="$E2E_PACKAGE"
exe="$E2E_CONSOLE_EXE"
records="$WINEPREFIX/drive_c/records.jsonl"
rm -f "$records"

record_count() { if [ -f "$records" ]; then wc -l <"$records"; else echo 0; fi; }
has_records() { [ "$(record_count)" -ge "$1" ]; }
station_says() { tr -d '\r' <"$E2E_ARTIFACTS/station.out" | grep -qF -- "$1"; }

e2e_wine_background station.out "$exe" --package "$package" --watch --report 'C:\records.jsonl'
station="$E2E_BACKGROUND_PID"
E2E_PIDS+=("$station")
e2e_wait_for "the station to begin" 60 station_says "Watching the serial ports"

# A device on COM5: its port appears in the map.
e2e_port_serve 5 "device 5" device5.out "$E2E_SIM" --link "$E2E_PORTS_DIR/com5" --quiet \
    --max-seconds 600 --image-out "$E2E_ARTIFACTS/device5.hex" \
    --status-file "$E2E_ARTIFACTS/device5.status"
device5="$E2E_SERVE_PID"
e2e_driver serialcomm-set COM5 >/dev/null || e2e_fail "cannot put COM5 into the map"
e2e_wait_for "the update of the device on COM5" 90 has_records 1
grep -q '"port":"COM5".*"outcome":"updated"' "$records" || e2e_fail "COM5's record: $(cat "$records")"

# It stays plugged: not updated again. Then it is pulled out and another appears on COM6.
sleep 3
[ "$(record_count)" = 1 ] || e2e_fail "a device that stays was updated again: $(cat "$records")"
[ "$(sed -n 's/^opens=//p' "$E2E_ARTIFACTS/device5.status")" = 1 ] ||
    e2e_fail "the device on COM5 was opened again"
e2e_port_serve 6 "device 6" device6.out "$E2E_SIM" --link "$E2E_PORTS_DIR/com6" --quiet \
    --max-seconds 600 --image-out "$E2E_ARTIFACTS/device6.hex" \
    --status-file "$E2E_ARTIFACTS/device6.status"
e2e_driver serialcomm-set COM6 >/dev/null || e2e_fail "cannot put COM6 into the map"
kill "$device5" 2>/dev/null || true
e2e_wait_for "the update of the device on COM6" 90 has_records 2
sed -n 2p "$records" | grep -q '"port":"COM6".*"outcome":"updated"' ||
    e2e_fail "COM6's record: $(cat "$records")"

# Ctrl-C ends the station (Wine turns SIGINT into the console's Ctrl-C event).
kill -INT "$station"
e2e_wait_pid "$station" 60 || e2e_fail "the station did not end after Ctrl-C"
code=0
wait "$station" || code=$?
out="$(tr -d '\r' <"$E2E_ARTIFACTS/station.out")"
[ "$code" = 0 ] || e2e_fail "exit code $code, not 0: $out"
grep -qxF "2 of 2 devices updated; exit code 0." <<<"$out" || e2e_fail "no table's end: $out"
grep -qE '^COM5: ' <<<"$out" || e2e_fail "COM5's lines do not begin with it: $out"
[ "$(record_count)" = 2 ] || e2e_fail "records: $(cat "$records")"
# Each device holds the package's image, written by the device as its transfer completed.
for n in 5 6; do
    python3 "$E2E_LIB_DIR/../../tools/compare_hex_images.py" "$package/fw.hex" \
        "$E2E_ARTIFACTS/device$n.hex" || e2e_fail "device $n does not hold the package's image"
done
if grep -qF "cannot be watched" <<<"$out"; then
    e2e_log "the map's change notification was not had here: the station looked at the map every 250 ms"
else
    e2e_log "the station was told of the map's changes by its change notification"
fi
e2e_log "the watch under Wine updated two devices in turn as their ports appeared"
