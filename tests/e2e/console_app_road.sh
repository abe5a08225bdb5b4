#!/usr/bin/env bash
# keystrand-update.exe under Wine and keystrand-modem-lines on the road of devices from the field:
# simulated devices in their application firmware. A whole update whose record names the device's
# serial and whose trace shows DSR's changes with their times; the two entry failures (exit code
# 5, the device's state as far as known); four devices at once; --identify, which changes nothing.
source "$(dirname "$0")/lib.sh"

e2e_init console_app_road
e2e_require_wine
e2e_prefix_use
e2e_use_modem_lines
e2e_wine_start COM1 COM2 COM3 COM4

e2e_console_package 4096
exe="$E2E_CONSOLE_EXE"
package="$E2E_PACKAGE"
records="$WINEPREFIX/drive_c/records.jsonl"
rm -f "$records"

# device N SERIAL [FAULT...]: a device from the field on COMn.
device() {
    local n="$1" serial="$2" fault options=()
    for fault in "${@:3}"; do
        options+=(--fault "$fault")
    done
    e2e_port_serve "$n" "device $n" "device$n.out" "$E2E_SIM" --link "$E2E_PORTS_DIR/com$n" \
        --mode app --serial "$serial" --baud 115200 --quiet --max-seconds 600 \
        --image-out "$E2E_ARTIFACTS/device$n.hex" --log "$E2E_ARTIFACTS/device$n.log" \
        --status-file "$E2E_ARTIFACTS/device$n.status" "${options[@]}"
    eval "DEVICE_PID_$n=$E2E_SERVE_PID"
}
stop_device() {
    local pid
    pid="$(eval echo "\$DEVICE_PID_$1")"
    kill "$pid" 2>/dev/null || true
    e2e_wait_pid "$pid" 10 || e2e_fail "device $1 does not stop"
}
status() { e2e_device_status "device$1" "$2"; }
# update NAME ARG...: the console program; its exit code in CODE, its output in NAME.out/.err.
update() {
    local name="$1"
    shift
    CODE=0
    e2e_wine_run 180 "$exe" "$@" >"$E2E_ARTIFACTS/$name.out" 2>"$E2E_ARTIFACTS/$name.err" || CODE=$?
    OUT="$(tr -d '\r' <"$E2E_ARTIFACTS/$name.out")"
    ERR="$(tr -d '\r' <"$E2E_ARTIFACTS/$name.err")"
}
# record PORT FIELD: that field of the last record of the port, as it stands in the JSON.
record() {
    tr -d '\r' <"$records" | grep "\"port\":\"$1\"" | tail -n 1 |
        python3 -c 'import json, sys; print(json.dumps(json.loads(sys.stdin.read())[sys.argv[1]]))' "$2"
}
# 1. One device, the whole road, with its trace.
device 3 654321
update single --package "$package" --port COM3 --report 'C:\records.jsonl' --trace 'C:\trace.log'
[ "$CODE" = 0 ] || e2e_fail "single: exit code $CODE: $OUT $ERR"
grep -qxF "DSR is on: the application firmware runs; asking it to restart into its boot loader." <<<"$OUT" ||
    e2e_fail "single: no word of the application firmware: $OUT"
e2e_expect "single: serial in the record" "$(record COM3 device_serial)" '"654321"'
e2e_expect "single: outcome in the record" "$(record COM3 outcome)" '"updated"'
trace="$(tr -d '\r' <"$WINEPREFIX/drive_c/trace.log")"
road="$(grep -E '^ +[0-9]+\.[0-9]{3} (dsr on|tx "<V"|rx "\\rKYST-SM-00,654321"|tx "<W"|dsr off|speed 115200)$' <<<"$trace" |
    sed -E 's/^ +[0-9]+\.[0-9]{3} //' | tr '\n' ';')"
e2e_expect "single: the modem lines and the entry in the trace" "$road" \
    'dsr on;tx "<V";rx "\rKYST-SM-00,654321";tx "<W";dsr off;speed 115200;'
e2e_wait_for "device 3 to close its line" 20 grep -qx 'state=closed' "$E2E_ARTIFACTS/device3.status"
stop_device 3
python3 "$E2E_LIB_DIR/../../tools/compare_hex_images.py" "$package/fw.hex" "$E2E_ARTIFACTS/device3.hex" ||
    e2e_fail "single: the device does not hold the firmware"
grep -q -- '-- DTR on, RTS on$' "$E2E_ARTIFACTS/device3.log" || e2e_fail "single: the device never saw DTR and RTS on"
e2e_log "single: $(grep -E 'dsr (on|off)$' <<<"$trace" | tr -s ' ' | tr '\n' ';')"

# 2. The entry's two failures: exit code 5 and the device's state as far as it is known.
device 1 100001 identity:none
update no-identity --package "$package" --port COM1 --report 'C:\records.jsonl'
[ "$CODE" = 5 ] || e2e_fail "no-identity: exit code $CODE: $OUT $ERR"
grep -qxF "Cannot find a Keystrand SM on COM1: no valid identity reply to \"<V\" within 2 s." <<<"$ERR" ||
    e2e_fail "no-identity: $ERR"
e2e_expect "no-identity: state in the record" "$(record COM1 device_state)" '"unchanged"'
e2e_expect "no-identity: the device's firmware" "$(status 1 mode)" app
stop_device 1
device 2 100002 restart:keep-dsr
update kept-dsr --package "$package" --port COM2 --report 'C:\records.jsonl'
[ "$CODE" = 5 ] || e2e_fail "kept-dsr: exit code $CODE: $OUT $ERR"
grep -qF "Invalid response from the Keystrand SM on COM2: it did not restart into its boot loader" <<<"$ERR" ||
    e2e_fail "kept-dsr: $ERR"
e2e_expect "kept-dsr: state in the record" "$(record COM2 device_state)" '"restart requested"'
e2e_expect "kept-dsr: serial in the record" "$(record COM2 device_serial)" '"100002"'
e2e_expect "kept-dsr: boot-loader sessions" "$(status 2 sessions)" 0
stop_device 2

# 3. --identify asks the application firmware alone and changes nothing.
device 4 777001
update identify --identify --port COM4 --report 'C:\records.jsonl'
[ "$CODE" = 0 ] || e2e_fail "identify: exit code $CODE: $OUT $ERR"
e2e_expect "identify: what it says" "$OUT" "COM4: DSR on: application firmware, serial 777001."
e2e_expect "identify: outcome in the record" "$(record COM4 outcome)" '"identified"'
e2e_wait_for "device 4 to close its line" 20 grep -qx 'state=closed' "$E2E_ARTIFACTS/device4.status"
e2e_expect "identify: the device's firmware" "$(status 4 mode)" app
e2e_expect "identify: boot-loader sessions" "$(status 4 sessions)" 0
stop_device 4

# 4. Four devices from the field at once.
for n in 1 2 3 4; do
    device "$n" "20000$n"
done
update four --package "$package" --port COM1 --port COM2 --port COM3 --port COM4 \
    --report 'C:\records.jsonl' --trace 'C:\traces'
[ "$CODE" = 0 ] || e2e_fail "four: exit code $CODE: $OUT $ERR"
grep -qxF "4 of 4 devices updated; exit code 0." <<<"$OUT" || e2e_fail "four: $OUT"
for n in 1 2 3 4; do
    e2e_expect "four: serial of COM$n" "$(record "COM$n" device_serial)" "\"20000$n\""
    tr -d '\r' <"$WINEPREFIX/drive_c/traces/trace-COM$n.log" | grep -qE '^ +[0-9]+\.[0-9]{3} dsr off$' ||
        e2e_fail "four: no DSR drop in the trace of COM$n"
    e2e_wait_for "device $n to close its line" 20 grep -qx 'state=closed' "$E2E_ARTIFACTS/device$n.status"
    stop_device "$n"
    python3 "$E2E_LIB_DIR/../../tools/compare_hex_images.py" "$package/fw.hex" "$E2E_ARTIFACTS/device$n.hex" ||
        e2e_fail "four: device $n does not hold the firmware"
done
e2e_log "passed: the application road under Wine ($E2E_FLAVOUR), one device, both entry failures, --identify, four at once"
