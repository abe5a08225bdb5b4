#!/usr/bin/env bash
# A whole update under Wine: the real program updates the simulated Keystrand SM on a pty (the
# boot-loader road, since a pty has no DSR), the device then holds the sample firmware and the
# port is remembered; then a device without its ready character fails with its exact message.
source "$(dirname "$0")/lib.sh"

SETTINGS_KEY='Software\Fenmoor Systems\KeystrandUpdate\Settings'
SUCCESS="The Keystrand SM firmware has been successfully updated.     "
NO_READY="No ready response from the Keystrand SM.     \n\nFirmware update terminated.\n"

e2e_begin update

e2e_device_with_faults --record success
e2e_wine_start COM3
e2e_start_app
hwnd="$(e2e_main_window)"

e2e_begin_update "$hwnd"
e2e_wait_msgbox "$hwnd" "Firmware Update Complete" 120
e2e_expect "success message" "$E2E_BOX_TEXT" "$SUCCESS"
e2e_expect "result line" "$(e2e_result_line "$hwnd")" "Keystrand SM firmware successfully updated"
e2e_expect "boot loader line" "$(e2e_driver text "$hwnd" 1007)" "Boot loader version  =  KYST-SM-2.10"
rows="$(grep -c . "$(dirname "$E2E_EXE")/KeystrandSM_v210.hex")"
e2e_expect "progress line" "$(e2e_driver text "$hwnd" 1010)" "Sending hex file row  $rows  of  $rows"
e2e_expect "port closed while the message shows" "$(e2e_device_status success state)" closed
e2e_expect "remembered port" "$(e2e_driver profile-get "$SETTINGS_KEY" ComPort)" 3
e2e_screenshot_painted success-message
e2e_msgbox_ok
e2e_device_stop
python3 "$E2E_LIB_DIR/../../tools/compare_hex_images.py" "$(dirname "$E2E_EXE")/KeystrandSM_v210.hex" \
    "$E2E_ARTIFACTS/success.flashed.hex" || e2e_fail "the device does not hold the sample firmware"
e2e_log "the device holds the sample firmware"

# The same dialog again, against a device that never says it is ready.
e2e_device_with_faults --record no-ready "ready:dead"
e2e_begin_update "$hwnd"
e2e_wait_msgbox "$hwnd" "Firmware Update Error" 60
case "$E2E_BOX_TEXT" in
"$NO_READY"*) ;;
*) e2e_fail "failure message: \"$E2E_BOX_TEXT\"" ;;
esac
e2e_expect "result line" "$(e2e_result_line "$hwnd")" "Firmware update failed"
e2e_expect "port closed while the message shows" "$(e2e_device_status no-ready state)" closed
e2e_screenshot_painted failure-message
e2e_msgbox_ok
e2e_expect "remembered port after the failure" "$(e2e_driver profile-get "$SETTINGS_KEY" ComPort)" 3
e2e_device_stop

e2e_close_with_done "$hwnd"
e2e_log "passed"
