#!/usr/bin/env bash
# Port discovery and the port loan under Wine: the buttons of exactly the mapped ports enabled,
# the remembered port preselected, Refresh Serial Ports picking up a port added to the map, and a
# failed open on a port held elsewhere asking the companion program to release and then return it.
source "$(dirname "$0")/lib.sh"

COMPANION_TITLE="Fenmoor Serial Test Program"
SETTINGS_KEY='Software\Fenmoor Systems\KeystrandUpdate\Settings'
# COM7 joins the map later and leads to no terminal, as if another program held it: its open fails.
ADDED_PORT=7
OPEN_FAILURE="Unable to open serial port COM$ADDED_PORT               "

# enabled_ports HWND: the numbers of the enabled port buttons, blank-separated.
enabled_ports() {
    e2e_driver controls "$1" |
        awk -F'\t' '$1 >= 2001 && $1 <= 2012 && $6 == 1 { printf "%s%d", sep, $1 - 2000; sep = " " }'
}

# enabled_ports_are HWND LIST: true when exactly those port buttons are enabled.
enabled_ports_are() {
    [ "$(enabled_ports "$1")" = "$2" ]
}

# checked_port HWND: the number of the checked port button, or nothing.
checked_port() {
    local n
    for n in $(seq 1 12); do
        if [ "$(e2e_driver checked "$1" $((2000 + n)))" = 1 ]; then
            echo "$n"
        fi
    done
}

# companion_handoffs: the hand-off lines of the companion's log (written with CR LF ends).
companion_handoffs() {
    tr -d '\r' <"$E2E_ARTIFACTS/companion.log" | grep '^handoff' || true
}

# companion_logged LINE: true once the companion's log holds that line.
companion_logged() {
    tr -d '\r' <"$E2E_ARTIFACTS/companion.log" 2>/dev/null | grep -qx "$1"
}

e2e_begin ports
[ -f "$E2E_COMPANION" ] || e2e_fail "no $E2E_COMPANION"
e2e_port_pty 3
e2e_port_pty 5
e2e_port_unopenable "$ADDED_PORT"
e2e_wine_start COM3 COM5
e2e_driver profile-set "$SETTINGS_KEY" ComPort 5 || e2e_fail "cannot remember COM5"

# 1. Exactly the mapped ports, the remembered one checked.
e2e_start_app
hwnd="$(e2e_main_window)"
e2e_expect "enabled port buttons" "$(enabled_ports "$hwnd")" "3 5"
e2e_expect "checked port button (the remembered COM5)" "$(checked_port "$hwnd")" 5
e2e_screenshot_painted ports-at-start

# 2. A port added to the map shows after Refresh Serial Ports; the remembered port stays checked.
e2e_driver serialcomm-set COM3 COM5 "COM$ADDED_PORT" || e2e_fail "cannot add COM$ADDED_PORT to the map"
e2e_guard_real_ports
e2e_expect "enabled port buttons before the refresh" "$(enabled_ports "$hwnd")" "3 5"
e2e_driver click "$hwnd" 1012 || e2e_fail "cannot click Refresh Serial Ports"
e2e_wait_for "COM$ADDED_PORT enabled by Refresh Serial Ports" 20 enabled_ports_are "$hwnd" "3 5 $ADDED_PORT"
e2e_expect "checked port button after the refresh" "$(checked_port "$hwnd")" 5

# 3. The companion program holds COM7, which cannot be opened: both opens fail, and the companion
# is asked to release the port and, after the message, told that it is free again.
e2e_wine_background companion.out "$E2E_COMPANION" --log companion.log --seconds 120
E2E_PIDS+=("$E2E_BACKGROUND_PID")
companion="$(e2e_driver find-window "$COMPANION_TITLE" 60000)" || e2e_fail "no companion window"
e2e_wait_for "the companion's log" 20 companion_logged ready
e2e_log "companion window $companion"
e2e_driver bm-click "$hwnd" $((2000 + ADDED_PORT)) || e2e_fail "cannot choose COM$ADDED_PORT"
e2e_wait_for "COM$ADDED_PORT checked" 20 test "$(checked_port "$hwnd")" = "$ADDED_PORT"
e2e_expect "checked port button" "$(checked_port "$hwnd")" "$ADDED_PORT"
e2e_begin_update "$hwnd"

e2e_wait_msgbox "$hwnd" "Firmware Update Error" 30
printf '%s\n' "$E2E_BOX" >"$E2E_ARTIFACTS/message-box.txt"
e2e_expect "message box text" "$E2E_BOX_TEXT" "$OPEN_FAILURE"
e2e_expect "result line" "$(e2e_result_line "$hwnd")" "$OPEN_FAILURE"
e2e_expect "companion log while the message shows" "$(companion_handoffs)" \
    "handoff 1001 $ADDED_PORT"
e2e_screenshot_painted open-failure
e2e_msgbox_ok
e2e_wait_for "the return notice" 20 companion_logged "handoff 1002 $ADDED_PORT"
e2e_expect "companion log" "$(companion_handoffs | tr '\n' ';')" \
    "handoff 1001 $ADDED_PORT;handoff 1002 $ADDED_PORT;"
e2e_expect "enabled port buttons after the update" "$(enabled_ports "$hwnd")" "3 5 $ADDED_PORT"
e2e_expect "remembered port unchanged" "$(e2e_driver profile-get "$SETTINGS_KEY" ComPort)" 5

e2e_close_with_escape "$hwnd"
e2e_log "passed"
