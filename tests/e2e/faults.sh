#!/usr/bin/env bash
# The fault matrix under Wine: the real program against the simulated device misbehaving at each
# step of the exchange, then against damaged firmware files. Each run must end with its exact
# message and result line, the port released while the message shows, and the dialog's commands
# and port buttons usable again afterwards.
source "$(dirname "$0")/lib.sh"

TITLE="Keystrand SM Firmware Update"
TAIL=".     \n\nFirmware update terminated.\n"
DEVICE="Keystrand SM"

e2e_init faults
e2e_require_wine
e2e_display
e2e_prefix_use

start_device() {
    local name="$1" faults=() f
    shift
    for f in "$@"; do faults+=(--fault "$f"); done
    e2e_device_start "$name" "${faults[@]}"
}

# The commands and the port button of COM3, as "1006=1 2=1 1012=1 1016=1 2003=1".
commands_state() {
    e2e_driver controls "$1" |
        awk -F'\t' '$1 == 1006 || $1 == 2 || $1 == 1012 || $1 == 1016 || $1 == 2003 { printf "%s%s=%s", sep, $1, $6; sep = " " }'
}

# run_case HWND NAME CAPTION MESSAGE_START RESULT [FAULT...]: one Begin Update against a device
# with those faults.
run_case() {
    local hwnd="$1" name="$2" caption="$3" start="$4" result="$5" box box_hwnd text
    shift 5
    start_device "$name" "$@"
    e2e_driver click "$hwnd" 1006 || e2e_fail "$name: cannot click Begin Update"
    box="$(e2e_driver wait-msgbox "$hwnd" "$caption" 60000)" ||
        e2e_fail "$name: no \"$caption\" message; result line \"$(e2e_driver text "$hwnd" 1011)\""
    box_hwnd="$(sed -n 's/^hwnd\t//p' <<<"$box")"
    text="$(sed -n 's/^text\t//p' <<<"$box")"
    case "$text" in
    "$start"*) ;;
    *) e2e_fail "$name: message \"$text\", expected it to begin \"$start\"" ;;
    esac
    e2e_expect "$name: result line" "$(e2e_driver text "$hwnd" 1011)" "$result"
    e2e_expect "$name: port released while the message shows" \
        "$(sed -n 's/^state=//p' "$E2E_ARTIFACTS/$name.status")" closed
    e2e_driver press "$box_hwnd" 1 || e2e_fail "$name: cannot press OK"
    e2e_driver wait-gone "$box_hwnd" 20000 || e2e_fail "$name: the message stays open"
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
start_device first
e2e_wine_start COM3
e2e_device_stop
e2e_start_app
hwnd="$(e2e_driver find-window "$TITLE" 60000)" || e2e_fail "no window titled \"$TITLE\""

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
e2e_driver cancel "$hwnd" || e2e_fail "cannot press Done"
e2e_wait_app_exit 30

# Damaged firmware files, each in a package folder of its own beside a copy of the program.
# run_package NAME HEXFILE MESSAGE_START
run_package() {
    local name="$1" hex="$2" start="$3" folder="$E2E_ARTIFACTS/package-$1" hwnd
    mkdir -p "$folder"
    cp "$E2E_EXE" "$folder/"
    printf '2.10\r\nbroken.hex\r\n' >"$folder/Keystrand_SM.txt"
    cp "$hex" "$folder/broken.hex"
    (cd "$E2E_ARTIFACTS" && exec "$E2E_WINE" "$folder/$(basename "$E2E_EXE")") >"$E2E_ARTIFACTS/$name.app.log" 2>&1 &
    E2E_APP_PID=$!
    hwnd="$(e2e_driver find-window "$TITLE" 60000)" || e2e_fail "$name: no window"
    run_case "$hwnd" "$name" "Firmware Update Error" "$start" "Firmware update failed"
    grep -q '^rows_accepted=0$' "$E2E_ARTIFACTS/$name.status" || e2e_fail "$name: rows reached the device"
    e2e_driver cancel "$hwnd" || e2e_fail "$name: cannot press Done"
    e2e_wait_app_exit 30
}

sample="$(dirname "$E2E_EXE")/KeystrandSM_v210.hex"
: >"$E2E_ARTIFACTS/empty.hex"
run_package empty-file "$E2E_ARTIFACTS/empty.hex" "Unable to read the firmware hex file.     \n\nFirmware update terminated."
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

# The HEX file disappears after both checks of it and before the transfer opens it: the device
# takes its time over the version reply meanwhile.
folder="$E2E_ARTIFACTS/package-vanishing"
mkdir -p "$folder"
cp "$E2E_EXE" "$folder/"
printf '2.10\r\nvanishing.hex\r\n' >"$folder/Keystrand_SM.txt"
cp "$sample" "$folder/vanishing.hex"
(cd "$E2E_ARTIFACTS" && exec "$E2E_WINE" "$folder/$(basename "$E2E_EXE")") >"$E2E_ARTIFACTS/vanishing.app.log" 2>&1 &
E2E_APP_PID=$!
hwnd="$(e2e_driver find-window "$TITLE" 60000)" || e2e_fail "vanishing: no window"
start_device vanishing version:delay=2000
e2e_driver click "$hwnd" 1006 || e2e_fail "vanishing: cannot click Begin Update"
sleep 1
rm -f "$folder/vanishing.hex"
box="$(e2e_driver wait-msgbox "$hwnd" "Firmware Update Error" 60000)" || e2e_fail "vanishing: no message"
case "$(sed -n 's/^text\t//p' <<<"$box")" in
"Unable to open the hex file vanishing.hex     \n\nFirmware update terminated."*) ;;
*) e2e_fail "vanishing: message \"$(sed -n 's/^text\t//p' <<<"$box")\"" ;;
esac
e2e_expect "vanishing: result line" "$(e2e_driver text "$hwnd" 1011)" "Firmware update failed"
e2e_expect "vanishing: port released" "$(sed -n 's/^state=//p' "$E2E_ARTIFACTS/vanishing.status")" closed
e2e_driver press "$(sed -n 's/^hwnd\t//p' <<<"$box")" 1 || e2e_fail "vanishing: cannot press OK"
e2e_device_stop
e2e_driver cancel "$hwnd" || e2e_fail "vanishing: cannot press Done"
e2e_wait_app_exit 30
CASES=$((CASES + 1))

e2e_log "passed: $CASES cases"
