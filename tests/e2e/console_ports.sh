#!/usr/bin/env bash
# keystrand-update.exe under Wine on four simulated devices at once: one healthy, one whose boot
# loader never gets ready, one refusing row 5, one hanging up at row 40 on COM17, a port beyond
# the dialog's twelve. Each is told apart with its own words, the healthy one is flashed whole,
# the exit code is the worst (6), every port has its trace, and the remembered port is left
# alone.
source "$(dirname "$0")/lib.sh"

e2e_init console_ports
e2e_require_wine
e2e_prefix_use
e2e_wine_start COM1 COM2 COM3 COM17

ports=(1 2 3 17)
faults=("" "ready:dead" "row=5:reject" "row=40:hangup")
for i in 0 1 2 3; do
    n="${ports[$i]}"
    fault=()
    [ -n "${faults[$i]}" ] && fault=(--fault "${faults[$i]}")
    e2e_port_serve "$n" "device $n" "device$n.out" "$E2E_SIM" --link "$E2E_PORTS_DIR/com$n" \
        --baud 115200 --quiet --max-seconds 600 --image-out "$E2E_ARTIFACTS/device$n.hex" \
        --status-file "$E2E_ARTIFACTS/device$n.status" "${fault[@]}"
done
e2e_guard_real_ports

e2e_console_package 4096
package="$E2E_PACKAGE"
exe="$E2E_CONSOLE_EXE"

remembered() { timeout 60 "$E2E_WINE" "$exe" --list-ports | tr -d '\r' | grep '^Remembered port'; }
before="$(remembered)"
code=0
listing="$(timeout 60 "$E2E_WINE" "$exe" --list-ports | tr -d '\r')"
grep -q '^COM17  ' <<<"$listing" || e2e_fail "COM17 is not listed: $listing"
timeout 120 "$E2E_WINE" "$exe" --package "$package" --port COM1 --port COM2 --port 3 \
    --port com17 --trace 'C:\traces' >"$E2E_ARTIFACTS/update.out" 2>"$E2E_ARTIFACTS/update.err" ||
    code=$?
out="$(tr -d '\r' <"$E2E_ARTIFACTS/update.out")"
err="$(tr -d '\r' <"$E2E_ARTIFACTS/update.err")"
[ "$code" = 6 ] || e2e_fail "exit code $code, not 6: $out $err"

expect_line() { # TEXT WHERE LINE: the text holds that whole line
    grep -qxF -- "$3" <<<"$1" || e2e_fail "no line \"$3\" in the $2: $1"
}
expect_line "$out" output "Updating 4 Keystrand SM devices at once: COM1, COM2, COM3, COM17"
# The shorter names are padded to COM17's, so that the texts line up.
expect_line "$out" output "COM1:  The Keystrand SM firmware has been successfully updated."
grep -qE '^COM1   257/257  [0-9.]+ s  The Keystrand SM firmware has been successfully updated\.$' \
    <<<"$out" || e2e_fail "COM1's row of the table: $out"
expect_line "$out" output "1 of 4 devices updated; exit code 6."
expect_line "$err" errors "COM2:  Firmware update failed before the first row: the Keystrand SM did not send the ready character \"?\" (0x3F) within 2 s."
expect_line "$err" errors "COM3:  Firmware update failed at row 5 of 257: the Keystrand SM sent NAK (0x15) where XOFF (0x13) was awaited."
expect_line "$err" errors "COM3:  NAK: the boot loader refused the row."
# Wine's serial line does not report the hang-up: the unplugged device is a silent one here.
grep -qE '^COM17: Firmware update failed at row 40 of 257: ' <<<"$err" ||
    e2e_fail "COM17's failure is not told at row 40: $err"
# Every line whole and its own: the port first, or one of the run's own lines.
bad="$(grep -vE '^(COM(1|2|3|17) *: |COM(1|2|3|17)  |Port  |Firmware version |Updating 4 |1 of 4 devices|$)' \
    <<<"$out$err" || true)"
[ -z "$bad" ] || e2e_fail "lines without their port: $bad"

for n in "${ports[@]}"; do
    trace="$WINEPREFIX/drive_c/traces/trace-COM$n.log"
    tr -d '\r' <"$trace" | grep -q "^# outcome: " || e2e_fail "no outcome in $trace"
done
e2e_wait_for "device 1 to close its line" 20 \
    grep -qx 'state=closed' "$E2E_ARTIFACTS/device1.status"
[ "$(sed -n 's/^rows_accepted=//p' "$E2E_ARTIFACTS/device1.status")" = 257 ] ||
    e2e_fail "device 1 did not accept all 257 rows"
[ "$(remembered)" = "$before" ] || e2e_fail "a run on several ports changed the remembered port"
e2e_log "four devices at once under Wine: each told apart, exit code 6, traces written"
