#!/usr/bin/env bash
# The About box under Wine, opened from Contact Info and from the system menu: caption, texts, the
# contact block in the rich edit field (once, however often the box opens) with its web address
# marked as a link, and its placement.
source "$(dirname "$0")/lib.sh"

ABOUT_TITLE="About Keystrand SM Update"
IDM_ABOUTBOX=0x0010
# The rich edit field gives its paragraphs back with CR LF ends.
CONTACT='1-800-555-0142\r\n1-800-555-0143\r\nsupport@fenmoor.example\r\nwww.fenmoor.example\r\n'
CONTACT+='8 AM - 5 PM Central Time, Mon - Fri\r\nP.O. Box 1142\r\nFenmoor, MN 55012'

# check_about HWND SHOT: every text of the open box, its place, a screenshot, then OK closes it.
check_about() {
    local box="$1" shot="$2" contact notice
    e2e_expect "title line" "$(e2e_driver text "$box" 1019)" "Keystrand SM Hardware Wedge Firmware Update"
    e2e_expect "version line" "$(e2e_driver text "$box" 1015)" "Version 2.0.0.9"
    e2e_expect "release line" "$(e2e_driver text "$box" 1014)" "Released October 25 2006"
    notice="$(e2e_driver text "$box" 1013)"
    case "$notice" in
    "" | Copyright) e2e_fail "legal notice still \"$notice\"" ;;
    esac
    e2e_expect "usage note" "$(e2e_driver text "$box" 1018)" \
        'This update utility can only be used to update\nthe Keystrand SM hardware wedge firmware.\n'
    e2e_expect "labels" "$(e2e_driver text "$box" 1021)" 'Phone:\nFAX:\nEmail:\nWeb:\nHours:\nAddress:'
    contact="$(e2e_driver sent-text "$box" 1016)" || e2e_fail "cannot read the contact field"
    contact="${contact%\\r\\n}" # a rich edit field may add the end of its last paragraph
    e2e_expect "contact block" "$contact" "$CONTACT"
    e2e_driver controls "$box" >"$E2E_ARTIFACTS/$shot-controls.tsv"
    e2e_expect "contact field class" "$(awk -F'\t' '$1 == 1016 { print $2 }' "$E2E_ARTIFACTS/$shot-controls.tsv")" RichEdit20A
    e2e_expect_placement "About box" "$box"
    e2e_screenshot_painted "$shot"
    # The web address is marked as a link: the rich edit field draws it in pure blue, one line.
    local blue blue_w blue_h
    blue="$(e2e_colour_pixels "$shot" "#0000FF")"
    read -r blue_w blue_h _ < <(e2e_colour_extent "$shot" "#0000FF")
    e2e_log "link colour: $blue pixels in ${blue_w}x$blue_h"
    [ "$blue" -ge 150 ] && [ "$blue_h" -le 20 ] ||
        e2e_fail "the web address is not drawn as one link ($blue blue pixels, ${blue_w}x$blue_h)"
    e2e_close_with_ok "$box" "the About box"
}

e2e_begin_with_com3 about
e2e_start_app
hwnd="$(e2e_main_window)"

# From the Contact Info button.
e2e_driver click "$hwnd" 1016 || e2e_fail "cannot click Contact Info"
box="$(e2e_driver find-window "$ABOUT_TITLE" 30000)" || e2e_fail "no window titled \"$ABOUT_TITLE\""
e2e_log "About box from Contact Info: $box"
check_about "$box" about-from-contact-info

# From the system menu's item, the same box anew.
e2e_driver syscommand "$hwnd" "$IDM_ABOUTBOX" || e2e_fail "cannot send the system-menu command"
box="$(e2e_driver find-window "$ABOUT_TITLE" 30000)" || e2e_fail "no window titled \"$ABOUT_TITLE\" from the system menu"
e2e_log "About box from the system menu: $box"
check_about "$box" about-from-system-menu

e2e_close_with_escape "$hwnd"
e2e_log "passed"
