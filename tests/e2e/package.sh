#!/usr/bin/env bash
# The firmware package under Wine: the delivered folder shows its version and the stamped HEX file
# name; a copy without the description file shows the message with its full Windows path first,
# then the dialog with Begin Update disabled.
source "$(dirname "$0")/lib.sh"

HEX_NAME="KeystrandSM_v210.hex"

# stamp FILE: the file's modification time as the program shows it, "     (M-D-YYYY, H:MM:SS AM)":
# month first, the hour from 1 to 12 but 0 for the hour after midnight, with a leading blank.
stamp() {
    local hour minute second suffix=AM
    read -r hour minute second < <(date -r "$1" '+%-H %M %S')
    if [ "$hour" -ge 12 ]; then
        suffix=PM
    fi
    if [ "$hour" -gt 12 ]; then
        hour=$((hour - 12))
    fi
    printf '     (%s, %2d:%s:%s %s)' "$(date -r "$1" '+%-m-%-d-%Y')" "$hour" "$minute" "$second" "$suffix"
}

e2e_begin_with_com3 package

# 1. The delivered folder as it is.
e2e_start_app
hwnd="$(e2e_main_window)"
e2e_expect "firmware version line" "$(e2e_driver text "$hwnd" 1009)" "Firmware version  =  2.10"
e2e_expect "firmware file line" "$(e2e_driver text "$hwnd" 1008)" \
    "Firmware file  =  $HEX_NAME$(stamp "$E2E_DIST/$HEX_NAME")"
e2e_expect "Begin Update enabled" "$(e2e_control_enabled "$hwnd" "$E2E_ID_BEGIN_UPDATE")" 1
e2e_screenshot_painted delivered
e2e_close_with_escape "$hwnd"

# 2. A copy of the folder without the description file.
copy="$E2E_ARTIFACTS/dist-without-description"
rm -rf "$copy"
mkdir -p "$copy"
cp "$E2E_DIST"/* "$copy"/
rm "$copy/Keystrand_SM.txt"
copy_windows="$(timeout 60 "$E2E_WINE" winepath -w "$copy" 2>/dev/null | tr -d '\r')"
[ -n "$copy_windows" ] || e2e_fail "winepath gave no Windows path for $copy"
description_windows="$copy_windows\\Keystrand_SM.txt"
e2e_log "the description file is looked for as $description_windows"
e2e_start_app "$copy/KeystrandUpdate.exe"

e2e_wait_msgbox 0 "Keystrand SM Update" 60
printf '%s\n' "$E2E_BOX" >"$E2E_ARTIFACTS/message-box.txt"
# The driver prints the text on one line: line feeds as \n, backslashes doubled.
expected='Unable to open the firmware description file:     \n     '
expected+="${description_windows//\\/\\\\}"
expected+='     \n\nFirmware update wil be disabled.'
e2e_expect "message box text" "$E2E_BOX_TEXT" "$expected"
e2e_screenshot_painted message-box
e2e_msgbox_ok

hwnd="$(e2e_main_window "after the message")"
e2e_expect "Begin Update disabled" "$(e2e_control_enabled "$hwnd" "$E2E_ID_BEGIN_UPDATE")" 0
e2e_expect "firmware file line keeps its template text" "$(e2e_driver text "$hwnd" 1008)" "Firmware file  ="
e2e_expect "firmware version line" "$(e2e_driver text "$hwnd" 1009)" "Firmware version  =  "
e2e_screenshot_painted without-description
e2e_close_with_escape "$hwnd"
e2e_log "passed"
