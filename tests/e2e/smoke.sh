#!/usr/bin/env bash
# Smoke test of the real program under Wine: the main dialog opens with its title, texts,
# controls and place on the screen, and Escape ends the program.
source "$(dirname "$0")/lib.sh"

HEADLINE="Use for updating the Keystrand SM hardware wedge firmware."
# The instruction text as the driver prints it, line ends escaped.
INSTRUCTIONS='- Be sure the Keystrand SM wedge is connected to a power source (see manual).\n'
INSTRUCTIONS+='  Possible power sources include the following:\n'
INSTRUCTIONS+='      -- Connected between your keyboard and PC.\n'
INSTRUCTIONS+='      -- Connected to USB port via USB to PS2 adapter.\n'
INSTRUCTIONS+='- Connect the Keystrand SM to a serial port on your PC.\n'
INSTRUCTIONS+='- Select your PC serial port number (COM1 to COM12).\n'
INSTRUCTIONS+='- Press the \"Begin Update\" button.\n'
INSTRUCTIONS+='- Monitor the Firmware Update Status information.\n'
INSTRUCTIONS+='- A message box will indicate the success of the update.'
# The main dialog's controls in template order.
EXPECTED_IDS="2 1017 -1 2001 2002 2003 2004 2005 2006 2007 2008 2009 2010 2011 2012 -1 1100 1022 -1"
EXPECTED_IDS+=" 1008 1009 1007 1010 1011 1020 -1 1016 1012 1006"

e2e_begin_with_com3 smoke
e2e_start_app
hwnd="$(e2e_main_window)"
e2e_log "main dialog $hwnd"

# Texts set when the dialog opens.
e2e_expect "headline" "$(e2e_driver text "$hwnd" 1017)" "$HEADLINE"
e2e_expect "instructions" "$(e2e_driver text "$hwnd" 1100)" "$INSTRUCTIONS"
for id in 1007 1010 "$E2E_ID_RESULT_LINE"; do
    e2e_expect "status line $id" "$(e2e_driver text "$hwnd" "$id")" ""
done
e2e_expect "firmware version line" "$(e2e_driver text "$hwnd" 1009)" "Firmware version  =  2.10"
file_line="$(e2e_driver text "$hwnd" 1008)"
case "$file_line" in
"Firmware file  =  KeystrandSM_v210.hex     ("*")") ;;
*) e2e_fail "firmware file line: \"$file_line\"" ;;
esac

# Every control in template order; the Detailed Instructions button hidden, the rest visible;
# of the port buttons only COM3, the one port of the map, enabled and checked.
e2e_driver controls "$hwnd" >"$E2E_ARTIFACTS/controls.tsv" || e2e_fail "cannot list the controls"
ids="$(cut -f1 "$E2E_ARTIFACTS/controls.tsv" | tr '\n' ' ' | sed 's/ $//')"
e2e_expect "control ids in template order" "$ids" "$EXPECTED_IDS"
while IFS=$'\t' read -r id class style exstyle visible enabled x y w h text; do
    if [ "$id" = 1022 ]; then
        e2e_expect "visibility of Detailed Instructions" "$visible" 0
    else
        e2e_expect "visibility of control $id ($text)" "$visible" 1
    fi
    if [ "$id" -ge 2001 ] && [ "$id" -le 2012 ]; then
        e2e_expect "enabled state of COM$((id - 2000))" "$enabled" "$([ "$id" = 2003 ] && echo 1 || echo 0)"
    fi
    : "$class" "$style" "$exstyle" "$x" "$y" "$w" "$h"
done <"$E2E_ARTIFACTS/controls.tsv"

e2e_expect_placement window "$hwnd"
e2e_screenshot_painted main-dialog

# The headline is the one text drawn in RGB(192, 0, 0), and all of that colour lies inside it.
read -r _ origin_x origin_y < <(e2e_driver rect "$hwnd" | grep '^origin')
read -r _ _ _ _ _ _ head_x head_y head_w head_h _ < <(awk -F'\t' '$1 == 1017' "$E2E_ARTIFACTS/controls.tsv")
red="$(e2e_colour_pixels main-dialog "#C00000")"
[ "$red" -ge 300 ] || e2e_fail "the headline is not drawn in dark red ($red pixels of that colour)"
read -r red_w red_h red_x red_y < <(e2e_colour_extent main-dialog "#C00000")
e2e_log "dark red: $red pixels in ${red_w}x$red_h at $red_x,$red_y; headline at $((origin_x + head_x)),$((origin_y + head_y)) ${head_w}x$head_h"
if [ "$red_x" -lt $((origin_x + head_x)) ] || [ "$red_y" -lt $((origin_y + head_y)) ] ||
    [ $((red_x + red_w)) -gt $((origin_x + head_x + head_w)) ] ||
    [ $((red_y + red_h)) -gt $((origin_y + head_y + head_h)) ]; then
    e2e_fail "dark red outside the headline"
fi

e2e_close_with_escape "$hwnd"
e2e_log "passed"
