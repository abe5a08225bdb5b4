#!/usr/bin/env bash
# CSerialPort on a real COM port under Wine: a pty mapped to COM4, answered by serial_peer.py; open
# at 9600, exchange, switch to 115200 with the input purged, exchange, modem status, close; then
# the same under keystrand-modem-lines, which leaves a terminal of no simulated device alone.
source "$(dirname "$0")/lib.sh"

PORT=4

e2e_begin serial
[ -f "$E2E_SERIAL_CHECK" ] || e2e_fail "no $E2E_SERIAL_CHECK"

# The peer: the other end of a new pty whose terminal end is COM4.
e2e_port_serve "$PORT" "the peer" peer.out python3 "$E2E_LIB_DIR/serial_peer.py" \
    --link "$E2E_PORTS_DIR/com$PORT" --seconds 120 --log "$E2E_ARTIFACTS/peer.log"
e2e_wine_start "COM$PORT"

out="$(timeout 60 "$E2E_WINE" "$E2E_SERIAL_CHECK" "$PORT" 2>"$E2E_ARTIFACTS/serial-check.err" | tr -d '\r')" ||
    e2e_fail "wine-serial-check failed:"$'\n'"$out"$'\n'"$(cat "$E2E_ARTIFACTS/serial-check.err")"
printf '%s\n' "$out" >"$E2E_ARTIFACTS/serial-check.out"
e2e_log "wine-serial-check:"$'\n'"$out"

# step NAME: the line of that step.
step() { grep "^$1 " <<<"$out" || true; }
e2e_expect "open" "$(step open)" "open ok COM$PORT"
e2e_expect "port number" "$(step port-number)" "port-number ok $PORT"
e2e_expect "exchange at 9600" "$(step exchange-9600)" \
    'exchange-9600 ok sent "at 9600" got "ack 9600" expected "ack 9600"'
e2e_expect "input purged by the switch" "$(step reconfigure)" \
    "reconfigure ok 0 bytes waiting after the switch"
e2e_expect "exchange at 115200" "$(step exchange-115200)" \
    'exchange-115200 ok sent "at 115200" got "ack 115200" expected "ack 115200"'
e2e_expect "modem status on a pty" "$(step modem-status)" "modem-status ok failed"
e2e_expect "closed" "$(step close)" "close ok -1"

# Under keystrand-modem-lines a terminal that no simulated device serves keeps the system's answer:
# still no modem status, and the rest as before.
e2e_use_modem_lines
again="$(e2e_wine_run 60 "$E2E_SERIAL_CHECK" "$PORT" 2>>"$E2E_ARTIFACTS/serial-check.err" | tr -d '\r')" ||
    e2e_fail "wine-serial-check under keystrand-modem-lines failed:"$'\n'"$again"
e2e_expect "modem status on a pty under keystrand-modem-lines" "$(grep '^modem-status ' <<<"$again")" \
    "modem-status ok failed"
e2e_expect "exchange at 115200 under keystrand-modem-lines" "$(grep '^exchange-115200 ' <<<"$again")" \
    'exchange-115200 ok sent "at 115200" got "ack 115200" expected "ack 115200"'

# What the peer saw: both lines at the speed the program had set, and the stale request between.
grep -q '^at 9600.* -> ack 9600$' "$E2E_ARTIFACTS/peer.log" || e2e_fail "peer log: $(cat "$E2E_ARTIFACTS/peer.log")"
grep -q '^stale please.* -> ack 9600$' "$E2E_ARTIFACTS/peer.log" || e2e_fail "peer log: $(cat "$E2E_ARTIFACTS/peer.log")"
grep -q '^at 115200.* -> ack 115200$' "$E2E_ARTIFACTS/peer.log" || e2e_fail "peer log: $(cat "$E2E_ARTIFACTS/peer.log")"

e2e_log "passed"
