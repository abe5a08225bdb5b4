#!/usr/bin/env bash
# The road of every device from the field, under Wine: the real program, run under
# keystrand-modem-lines, finds the simulated Keystrand SM in its application firmware holding DSR
# on, asks its identity with "<V", restarts it with "<W", waits for DSR to drop and updates its
# boot loader at 115200 baud. Then the entry's failures, each with its exact message box, result
# line, port buttons and remembered port: no identity, 17 characters, a wrong start followed by a
# right reply ("Cannot find a "), and DSR that never drops ("Invalid response from the "), that
# one on a port the companion program lends.
source "$(dirname "$0")/lib.sh"

SETTINGS_KEY='Software\Fenmoor Systems\KeystrandUpdate\Settings'
BLANKS="               " # the 15 blanks after an entry failure's text in its box
CANNOT_FIND="Cannot find a Keystrand SM."
INVALID="Invalid response from the Keystrand SM."
SUCCESS="The Keystrand SM firmware has been successfully updated.     "

e2e_begin app_road
e2e_use_modem_lines

# The commands, the port buttons of COM3 and COM5, as "1006=1 2=1 1012=1 1016=1 2003=1 2005=0".
commands_state() {
    e2e_driver controls "$1" |
        awk -F'\t' '$1 == 1006 || $1 == 2 || $1 == 1012 || $1 == 1016 || $1 == 2003 || $1 == 2005 { printf "%s%s=%s", sep, $1, $6; sep = " " }'
}
remembered() { e2e_driver profile-get "$SETTINGS_KEY" ComPort; }
# received NAME: what the device NAME received, one rx line each, from its log.
received() { sed -n 's/^.*\] rx //p' "$E2E_ARTIFACTS/$1.device.log"; }

# entry_failure HWND NAME TEXT: Begin Update against the device NAME ends with the entry failure
# TEXT: the box says TEXT and 15 blanks, the result line TEXT; while it shows, the port is closed,
# the other port button is still disabled and the commands were never disabled; after OK the port
# buttons are back and the remembered port is as it was.
entry_failure() {
    local hwnd="$1" name="$2" text="$3"
    e2e_begin_update "$hwnd" "$name"
    e2e_wait_msgbox "$hwnd" "Firmware Update Error" 60 "$name"
    e2e_expect "$name: message" "$E2E_BOX_TEXT" "$text$BLANKS"
    e2e_expect "$name: result line" "$(e2e_result_line "$hwnd")" "$text"
    e2e_expect "$name: port closed while the message shows" "$(e2e_device_status "$name" state)" closed
    e2e_expect "$name: controls while the message shows" "$(commands_state "$hwnd")" \
        "2=1 2003=1 2005=0 1016=1 1012=1 1006=1"
    e2e_screenshot_painted "$name"
    e2e_msgbox_ok "$name"
    e2e_expect "$name: controls afterwards" "$(commands_state "$hwnd")" \
        "2=1 2003=1 2005=1 1016=1 1012=1 1006=1"
    e2e_expect "$name: remembered port" "$(remembered)" 5
    e2e_expect "$name: the device's firmware" "$(e2e_device_status "$name" mode)" app
    e2e_device_stop
}

e2e_port_pty 5
e2e_device_with_faults --app 123456 --record first
e2e_wine_start COM3 COM5
e2e_device_stop
e2e_driver profile-set "$SETTINGS_KEY" ComPort 5 || e2e_fail "cannot remember COM5"
e2e_start_app
hwnd="$(e2e_main_window)"
e2e_driver bm-click "$hwnd" 2003 || e2e_fail "cannot choose COM3"
e2e_wait_for "COM3 checked" 20 test "$(e2e_driver checked "$hwnd" 2003)" = 1

# No identity at all: "<V" alone went out.
e2e_device_with_faults --app 123456 --record no-identity identity:none
entry_failure "$hwnd" no-identity "$CANNOT_FIND"
e2e_expect "no-identity: what the device received" "$(received no-identity)" '"<V"'

# Seventeen characters, however right, never complete the reply.
e2e_device_with_faults --app 123456 --record seventeen 'identity:reply=\rKYST-SM-00,12345'
entry_failure "$hwnd" seventeen "$CANNOT_FIND"
e2e_expect "seventeen: what the device received" "$(received seventeen)" '"<V"'

# A wrong first 12 characters: the one comparison fails, and the right reply after it is too late.
e2e_device_with_faults --app 123456 --record wrong-start \
    'identity:reply=\rKYST-SM-01,123456\rKYST-SM-00,123456'
entry_failure "$hwnd" wrong-start "$CANNOT_FIND"
e2e_expect "wrong-start: what the device received" "$(received wrong-start)" '"<V"'

# DSR never drops after "<W", on COM3 lent by the companion program: the first open fails, the
# companion is asked for the port and lets it go, the second open reaches the device. The port is
# given back only once the message is closed.
[ -f "$E2E_COMPANION" ] || e2e_fail "no $E2E_COMPANION"
e2e_wine_background companion.out "$E2E_COMPANION" --log companion.log --seconds 200
E2E_PIDS+=("$E2E_BACKGROUND_PID")
e2e_driver find-window "Fenmoor Serial Test Program" 60000 >/dev/null || e2e_fail "no companion window"
line="$E2E_ARTIFACTS/kept-dsr.line"
"$E2E_SIM" --link "$line" --mode app --serial 123456 --quiet --max-seconds 600 \
    --fault restart:keep-dsr --log "$E2E_ARTIFACTS/kept-dsr.device.log" \
    --status-file "$E2E_ARTIFACTS/kept-dsr.status" >"$E2E_ARTIFACTS/kept-dsr.sim.out" 2>&1 &
E2E_DEVICE_PID=$!
E2E_PIDS+=("$E2E_DEVICE_PID")
e2e_wait_for "the device on its line" 20 test -L "$line"
e2e_port_held_by_companion 3 "$line" companion.log
handoffs() { tr -d '\r' <"$E2E_ARTIFACTS/companion.log" | grep '^handoff' | tr '\n' ';' || true; }
e2e_begin_update "$hwnd" kept-dsr
e2e_wait_msgbox "$hwnd" "Firmware Update Error" 60 kept-dsr
e2e_expect "kept-dsr: message" "$E2E_BOX_TEXT" "$INVALID$BLANKS"
e2e_expect "kept-dsr: result line" "$(e2e_result_line "$hwnd")" "$INVALID"
e2e_expect "kept-dsr: port closed while the message shows" "$(e2e_device_status kept-dsr state)" closed
e2e_expect "kept-dsr: controls while the message shows" "$(commands_state "$hwnd")" \
    "2=1 2003=1 2005=0 1016=1 1012=1 1006=1"
e2e_expect "kept-dsr: the companion while the message shows" "$(handoffs)" "handoff 1001 3;"
e2e_screenshot_painted kept-dsr
e2e_msgbox_ok kept-dsr
e2e_wait_for "the port given back" 20 grep -q 'handoff 1002 3' "$E2E_ARTIFACTS/companion.log"
e2e_expect "kept-dsr: the companion" "$(handoffs)" "handoff 1001 3;handoff 1002 3;"
e2e_expect "kept-dsr: controls afterwards" "$(commands_state "$hwnd")" \
    "2=1 2003=1 2005=1 1016=1 1012=1 1006=1"
e2e_expect "kept-dsr: remembered port" "$(remembered)" 5
e2e_expect "kept-dsr: what the device received" "$(received kept-dsr | tr '\n' ' ')" '"<V" "<W" '
e2e_expect "kept-dsr: the device restarted all the same" "$(e2e_device_status kept-dsr mode)" boot
e2e_wait_for "the companion to take the port back" 20 test -d "$E2E_PORTS_DIR/com3"
e2e_device_stop

# The whole road: the device from the field is updated and the port remembered.
e2e_device_with_faults --app 654321 --record success
e2e_begin_update "$hwnd" success
e2e_wait_msgbox "$hwnd" "Firmware Update Complete" 120 success
e2e_expect "success: message" "$E2E_BOX_TEXT" "$SUCCESS"
e2e_expect "success: result line" "$(e2e_result_line "$hwnd")" "Keystrand SM firmware successfully updated"
e2e_expect "success: boot loader line" "$(e2e_driver text "$hwnd" 1007)" "Boot loader version  =  KYST-SM-2.10"
e2e_expect "success: remembered port" "$(remembered)" 3
e2e_screenshot_painted success
e2e_msgbox_ok success
e2e_device_stop
python3 "$E2E_LIB_DIR/../../tools/compare_hex_images.py" "$(dirname "$E2E_EXE")/KeystrandSM_v210.hex" \
    "$E2E_ARTIFACTS/success.flashed.hex" || e2e_fail "the device does not hold the sample firmware"
# The order of events on the line, as the device saw them: the port's DTR and RTS raised one after
# the other as it opens, and dropped DTR first as it closes.
events="$(grep -E 'DTR (on|off), RTS|rx "<V"|tx "\\rKYST|rx "<W"|restarted into the boot loader|rx "#&!KYST-SM35"|file complete' \
    "$E2E_ARTIFACTS/success.device.log" | sed 's/^\[[ 0-9.]* ms\] //; s/ (readable at .*)$//')"
e2e_expect "success: the road on the line" "$events" '-- DTR on, RTS off
-- DTR on, RTS on
rx "<V"
tx "\rKYST-SM-00,654321"
rx "<W"
-- restarted into the boot loader, DSR off
rx "#&!KYST-SM35"
-- file complete
-- DTR off, RTS on
-- DTR off, RTS off'
e2e_log "the device from the field holds the sample firmware; the road: $(tr '\n' ';' <<<"$events")"

e2e_close_with_done "$hwnd"
e2e_log "passed"
