#!/usr/bin/env bash
# A whole update under Wine: the real program updates the simulated Keystrand SM on a pty (the
# boot-loader road, since a pty has no DSR), the device then holds the sample firmware and the
# port is remembered; then a device without its ready character fails with its exact message.
source "$(dirname "$0")/lib.sh"

TITLE="Keystrand SM Firmware Update"
SETTINGS_KEY='Software\Fenmoor Systems\KeystrandUpdate\Settings'
SUCCESS="The Keystrand SM firmware has been successfully updated.     "
NO_READY="No ready response from the Keystrand SM.     \n\nFirmware update terminated.\n"

e2e_init update
e2e_require_wine
e2e_display
e2e_prefix_use

# start_device NAME [FAULT...]: the device with its log and flashed image in the artefacts.
start_device() {
    local name="$1" faults=() f
    shift
    for f in "$@"; do faults+=(--fault "$f"); done
    e2e_device_start "$name" "${faults[@]}" --log "$E2E_ARTIFACTS/$name.device.log" \
        --image-out "$E2E_ARTIFACTS/$name.flashed.hex"
}

device_status() { sed -n "s/^$2=//p" "$E2E_ARTIFACTS/$1.status"; }


start_device success
e2e_wine_start COM3
e2e_start_app
hwnd="$(e2e_driver find-window "$TITLE" 60000)" || e2e_fail "no window titled \"$TITLE\""

e2e_driver click "$hwnd" 1006 || e2e_fail "cannot click Begin Update"
box="$(e2e_driver wait-msgbox "$hwnd" "Firmware Update Complete" 120000)" ||
    e2e_fail "no success message: $(e2e_driver text "$hwnd" 1011)"
box_hwnd="$(sed -n 's/^hwnd\t//p' <<<"$box")"
e2e_expect "success message" "$(sed -n 's/^text\t//p' <<<"$box")" "$SUCCESS"
e2e_expect "result line" "$(e2e_driver text "$hwnd" 1011)" "Keystrand SM firmware successfully updated"
e2e_expect "boot loader line" "$(e2e_driver text "$hwnd" 1007)" "Boot loader version  =  KYST-SM-2.10"
rows="$(grep -c . "$(dirname "$E2E_EXE")/KeystrandSM_v210.hex")"
e2e_expect "progress line" "$(e2e_driver text "$hwnd" 1010)" "Sending hex file row  $rows  of  $rows"
e2e_expect "port closed while the message shows" "$(device_status success state)" closed
e2e_expect "remembered port" "$(e2e_driver profile-get "$SETTINGS_KEY" ComPort)" 3
sleep 1
e2e_screenshot success-message
e2e_driver press "$box_hwnd" 1 || e2e_fail "cannot press OK"
e2e_driver wait-gone "$box_hwnd" 20000 || e2e_fail "the message stays open"
e2e_device_stop
python3 "$E2E_LIB_DIR/../../tools/compare_hex_images.py" "$(dirname "$E2E_EXE")/KeystrandSM_v210.hex" \
    "$E2E_ARTIFACTS/success.flashed.hex" || e2e_fail "the device does not hold the sample firmware"
e2e_log "the device holds the sample firmware"

# The same dialog again, against a device that never says it is ready.
start_device no-ready "ready:dead"
e2e_driver click "$hwnd" 1006 || e2e_fail "cannot click Begin Update"
box="$(e2e_driver wait-msgbox "$hwnd" "Firmware Update Error" 60000)" || e2e_fail "no failure message"
box_hwnd="$(sed -n 's/^hwnd\t//p' <<<"$box")"
text="$(sed -n 's/^text\t//p' <<<"$box")"
case "$text" in
"$NO_READY"*) ;;
*) e2e_fail "failure message: \"$text\"" ;;
esac
e2e_expect "result line" "$(e2e_driver text "$hwnd" 1011)" "Firmware update failed"
e2e_expect "port closed while the message shows" "$(device_status no-ready state)" closed
sleep 1
e2e_screenshot failure-message
e2e_driver press "$box_hwnd" 1 || e2e_fail "cannot press OK"
e2e_driver wait-gone "$box_hwnd" 20000 || e2e_fail "the message stays open"
e2e_expect "remembered port after the failure" "$(e2e_driver profile-get "$SETTINGS_KEY" ComPort)" 3
e2e_device_stop

e2e_driver cancel "$hwnd" || e2e_fail "cannot press Done"
e2e_wait_app_exit 30
e2e_log "passed"
