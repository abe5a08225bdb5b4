#!/usr/bin/env bash
# The fault matrix under Wine: the real program against the simulated device misbehaving at each
# step of the exchange, then against damaged firmware files. Each run must end with its exact
# message and result line, the port released while the message shows, and the dialog's commands
# and port buttons usable again afterwards.
source "$(dirname "$0")/lib.sh"

TAIL=".     \n\nFirmware update terminated.\n"
DEVICE="Keystrand SM"

e2e_begin faults

# The commands and the port button of COM3, as "1006=1 2=1 1012=1 1016=1 2003=1".
commands_state() {
    e2e_driver controls "$1" |
        awk -F'\t' '$1 == 1006 || $1 == 2 || $1 == 1012 || $1 == 1016 || $1 == 2003 { printf "%s%s=%s", sep, $1, $6; sep = " " }'
}

# expect_outcome HWND NAME CAPTION MESSAGE_START RESULT: the message that ends the update started
# against the device NAME, its result line, the port released while it shows; then OK closes it.
expect_outcome() {
    local hwnd="$1" name="$2" caption="$3" start="$4" result="$5"
    e2e_wait_msgbox "$hwnd" "$caption" 60 "$name"
    case "$E2E_BOX_TEXT" in
    "$start"*) ;;
    *) e2e_fail "$name: message \"$E2E_BOX_TEXT\", expected it to begin \"$start\"" ;;
    esac
    e2e_expect "$name: result line" "$(e2e_result_line "$hwnd")" "$result"
    e2e_expect "$name: port released while the message shows" "$(e2e_device_status "$name" state)" closed
    e2e_msgbox_ok "$name"
}

# run_case HWND NAME CAPTION MESSAGE_START RESULT [FAULT...]: one Begin Update against a device
# with those faults.
run_case() {
    local hwnd="$1" name="$2" caption="$3" start="$4" result="$5"
    shift 5
    e2e_device_with_faults "$name" "$@"
    e2e_begin_update "$hwnd" "$name"
    expect_outcome "$hwnd" "$name" "$caption" "$start" "$result"
    e2e_expect "$name: commands afterwards" "$(commands_state "$hwnd")" "2=1 2003=1 1016=1 1012=1 1006=1"
    e2e_device_stop
    e2e_log "$name: passed"
    CASES=$((CASES + 1))
}

fail_device() {
    local hwnd="$1" name="$2" phrase="$3"
    shift 3
    run_case "$hwnd" "$name" "Firmware Update Error" "$phrase$DEVICE$TAIL" "Firmware update failed" "$@"
}

CASES=0
e2e_device_with_faults first
e2e_wine_start COM3
e2e_device_stop
e2e_start_app
hwnd="$(e2e_main_window)"

fail_device "$hwnd" version-wrong "Invalid version response from the " 'version:reply=KYST-SM-2.09\r'
fail_device "$hwnd" version-silent "No response from the " version:dead
fail_device "$hwnd" version-extra-lf "Invalid ready response from the " version:extra-lf
fail_device "$hwnd" ready-wrong "Invalid ready response from the " 'ready:wrong=!'
fail_device "$hwnd" ready-silent "No ready response from the " ready:dead
fail_device "$hwnd" ready-late "No ready response from the " ready:delay=2400
fail_device "$hwnd" xon-wrong "Invalid XON response from the " xon@row=3:wrong=A
fail_device "$hwnd" xon-silent "Timeout waiting for XON character from the " xon@row=3:none
fail_device "$hwnd" xoff-wrong "Invalid XOFF response from the " xoff@row=2:wrong=B
fail_device "$hwnd" xoff-silent "Timeout waiting for XOFF character from the " xoff@row=2:dead
fail_device "$hwnd" line-complete-wrong "Invalid line complete response from the " line-complete@row=4:wrong=C
fail_device "$hwnd" line-complete-silent "Timeout waiting for line complete character from the " line-complete@row=4:dead
fail_device "$hwnd" file-complete-wrong "Invalid file complete response from the " file-complete:wrong=D
fail_device "$hwnd" file-complete-silent "Timeout waiting for file complete character from the " file-complete:none
fail_device "$hwnd" dead-mid-rows "Timeout waiting for XOFF character from the " row=1000:dead
fail_device "$hwnd" garbage-burst "Invalid XOFF response from the " xoff@row=10:garbage=300
fail_device "$hwnd" row-rejected "Invalid XOFF response from the " row=7:reject
fail_device "$hwnd" xoff-late "Timeout waiting for XOFF character from the " xoff@row=5:delay=2400
fail_device "$hwnd" file-complete-late "Timeout waiting for file complete character from the " file-complete:delay=2400
run_case "$hwnd" xoff-and-file-complete-just-inside "Firmware Update Complete" \
    "The Keystrand SM firmware has been successfully updated.     " \
    "Keystrand SM firmware successfully updated" xoff@row=5:delay=1700 file-complete:delay=1700
run_case "$hwnd" ready-just-inside "Firmware Update Complete" \
    "The Keystrand SM firmware has been successfully updated.     " \
    "Keystrand SM firmware successfully updated" ready:delay=1700 banner:garbage=300
e2e_screenshot after-device-faults
e2e_close_with_done "$hwnd"

# start_package NAME HEXFILE HEXNAME: a package folder of its own, package-NAME, with a copy of the
# program and HEXFILE as its HEX file HEXNAME; the program started from there.
start_package() {
    local name="$1" folder="$E2E_ARTIFACTS/package-$1"
    mkdir -p "$folder"
    cp "$E2E_EXE" "$folder/"
    printf '2.10\r\n%s\r\n' "$3" >"$folder/Keystrand_SM.txt"
    cp "$2" "$folder/$3"
    e2e_start_app "$folder/$(basename "$E2E_EXE")" "$name.app.log"
}

# Damaged firmware files, each in a package folder of its own beside a copy of the program.
# run_package NAME HEXFILE MESSAGE_START
run_package() {
    local name="$1" hex="$2" start="$3" hwnd
    start_package "$name" "$hex" broken.hex
    hwnd="$(e2e_main_window "$name")"
    run_case "$hwnd" "$name" "Firmware Update Error" "$start" "Firmware update failed"
    e2e_expect "$name: rows that reached the device" "$(e2e_device_status "$name" rows_accepted)" 0
    e2e_close_with_done "$hwnd" "$name"
}

sample="$(dirname "$E2E_EXE")/KeystrandSM_v210.hex"
: >"$E2E_ARTIFACTS/empty.hex"
# A file that can never be flashed whole is refused before the port is opened.
run_package empty-file "$E2E_ARTIFACTS/empty.hex" "Invalid data in hex file.     \n\nFirmware update terminated."
# Row 5 with a wrong checksum: nothing of the file may reach the device.
python3 - "$sample" "$E2E_ARTIFACTS/bad-checksum.hex" <<'PY'
import sys
rows = open(sys.argv[1], "rb").read().split(b"\r\n")
row = rows[4]
rows[4] = row[:-2] + b"%02X" % ((int(row[-2:], 16) + 1) % 256)
open(sys.argv[2], "wb").write(b"\r\n".join(rows))
PY
run_package bad-checksum "$E2E_ARTIFACTS/bad-checksum.hex" "Invalid data in hex file.     \n\nFirmware update terminated."
{ head -n 3 "$sample"; printf '\r\n'; tail -n +4 "$sample"; } >"$E2E_ARTIFACTS/blank-row.hex"
run_package blank-row "$E2E_ARTIFACTS/blank-row.hex" "Invalid data in hex file.     \n\nFirmware update terminated."

# Row 5 of 7 damaged, against a device whose flash holds firmware: refused before the port is
# opened; the device's log shows that not one byte reached it, and its firmware is as it was.
python3 - "$E2E_ARTIFACTS/seven-rows.hex" "$E2E_ARTIFACTS/row5-of-7.hex" <<'PY'
import sys
def row(length, address, kind, data):
    body = bytes([length, address >> 8, address & 0xFF, kind]) + bytes(data)
    return ":" + (body + bytes([(-sum(body)) & 0xFF])).hex().upper()
rows = [row(16, 16 * r, 0, [(r * 7 + i) & 0xFF for i in range(16)]) for r in range(6)]
rows.append(row(0, 0, 1, []))
open(sys.argv[1], "w", newline="").write("".join(r + "\r\n" for r in rows))
bad = rows[4][:-2] + "%02X" % ((int(rows[4][-2:], 16) + 1) % 256)
rows[4] = bad
open(sys.argv[2], "w", newline="").write("".join(r + "\r\n" for r in rows))
PY
start_package row5-of-7 "$E2E_ARTIFACTS/row5-of-7.hex" firmware.hex
hwnd="$(e2e_main_window row5-of-7)"
e2e_device_with_faults --holding "$sample" --record row5-of-7
e2e_begin_update "$hwnd" row5-of-7
e2e_wait_msgbox "$hwnd" "Firmware Update Error" 60 row5-of-7
case "$E2E_BOX_TEXT" in
"Invalid data in hex file.     \n\nFirmware update terminated.\n"*) ;;
*) e2e_fail "row5-of-7: message \"$E2E_BOX_TEXT\"" ;;
esac
e2e_expect "row5-of-7: result line" "$(e2e_result_line "$hwnd")" "Firmware update failed"
e2e_screenshot row5-of-7-refused
e2e_msgbox_ok row5-of-7
e2e_expect "row5-of-7: commands afterwards" "$(commands_state "$hwnd")" "2=1 2003=1 1016=1 1012=1 1006=1"
e2e_expect "row5-of-7: opens of the device's line" "$(e2e_device_status row5-of-7 opens)" 0
e2e_device_stop
e2e_close_with_done "$hwnd" row5-of-7
if grep -q '\] rx ' "$E2E_ARTIFACTS/row5-of-7.device.log"; then
    e2e_fail "row5-of-7: the device received: $(grep '\] rx ' "$E2E_ARTIFACTS/row5-of-7.device.log" | head -3)"
fi
python3 "$E2E_LIB_DIR/../../tools/compare_hex_images.py" "$sample" "$E2E_ARTIFACTS/row5-of-7.flashed.hex" ||
    e2e_fail "row5-of-7: the device's firmware changed"
e2e_log "row5-of-7: passed (no byte reached the device; its firmware is unchanged)"
CASES=$((CASES + 1))

# The HEX file disappears after both checks of it and before the transfer opens it: the device
# takes its time over the version reply meanwhile.
start_package vanishing "$sample" vanishing.hex
hwnd="$(e2e_main_window vanishing)"
e2e_device_with_faults vanishing version:delay=2000
e2e_begin_update "$hwnd" vanishing
sleep 1
rm -f "$E2E_ARTIFACTS/package-vanishing/vanishing.hex"
expect_outcome "$hwnd" vanishing "Firmware Update Error" \
    "Unable to open the hex file vanishing.hex     \n\nFirmware update terminated." "Firmware update failed"
e2e_device_stop
e2e_close_with_done "$hwnd" vanishing
CASES=$((CASES + 1))

e2e_log "passed: $CASES cases"
