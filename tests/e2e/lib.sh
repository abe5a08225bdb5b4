# lib.sh: what every end-to-end test shares: the choice of Wine, the private Wine prefix, the X
# display, COM ports on pseudo-terminals, the test driver, screenshots and a clean-up that always
# runs.
# shellcheck shell=bash
#
# A test script sources this file and calls e2e_begin NAME first (the set-up step: e2e_init NAME
# and what it needs), then what it needs. Every wait has a limit. Nothing here touches a real
# serial port: the prefix maps COM1 to COM20 to links in our own ports folder, and every other COM
# link that Wine makes for the machine's serial devices is removed before the program runs.
#
# Which Wine: the product is the 32-bit build, and it runs under 32-bit Wine where the machine can
# run it. Where it cannot (a kernel without 32-bit support cannot start Wine's 32-bit loader), the
# same sources built as a 64-bit program (preset windows64) run under wine64 in a 64-bit prefix.
# The set-up step decides once per run and records the choice and its reason in the prefix; a
# machine with neither fails the tests, unless KEYSTRAND_E2E_OPTIONAL=1 makes that a skip.
#
# Modem lines: a pseudo-terminal has none, so a program takes the boot-loader road. A test that
# calls e2e_use_modem_lines runs every Windows program it starts afterwards under
# keystrand-modem-lines (KEYSTRAND_MODEM_LINES), so that the simulated device's DSR, CTS and DCD
# reach it and its DTR and RTS reach the device: the road of a device from the field.
#
# Environment: KEYSTRAND_WINDOWS_BUILD_DIR (the 32-bit Windows build), KEYSTRAND_WINDOWS64_BUILD_DIR
# (the 64-bit build, may be absent), E2E_WORK_DIR (our folder in the host build: prefix, ports,
# artefacts), KEYSTRAND_SIM and KEYSTRAND_MODEM_LINES (tools of the host build), optionally
# KEYSTRAND_E2E_WINE=win32|win64 to force one flavour and KEYSTRAND_E2E_OPTIONAL=1 to skip instead
# of failing where no Wine can run the program.

set -euo pipefail

E2E_SKIP_CODE=77
E2E_TITLE="Keystrand SM Firmware Update"
# The main dialog's controls that the tests press and read.
E2E_ID_BEGIN_UPDATE=1006
E2E_ID_RESULT_LINE=1011
E2E_SCREEN_SIZE="1024x768"
E2E_LIB_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

e2e_log() { printf '[%s %s] %s\n' "$(date +%T)" "${E2E_NAME:-e2e}" "$*" >&2; }

e2e_fail() {
    e2e_log "FAIL: $*"
    exit 1
}

# The end-to-end tests cannot run here at all: a failure, or a skip when the caller allows it.
e2e_unavailable() {
    if [ "${KEYSTRAND_E2E_OPTIONAL:-0}" != 1 ]; then
        e2e_fail "$* (set KEYSTRAND_E2E_OPTIONAL=1 to skip the end-to-end tests instead)"
    fi
    e2e_log "SKIPPED: $* (KEYSTRAND_E2E_OPTIONAL=1)"
    exit "$E2E_SKIP_CODE"
}

e2e_init() {
    E2E_NAME="$1"
    : "${KEYSTRAND_WINDOWS_BUILD_DIR:?the 32-bit Windows build folder}"
    : "${E2E_WORK_DIR:?the end-to-end work folder}"
    E2E_ARTIFACTS="$E2E_WORK_DIR/artifacts/$E2E_NAME"
    E2E_PORTS_DIR="$E2E_WORK_DIR/ports"
    # The simulated device on a pty, and the command that gives it modem lines (host build tools).
    E2E_SIM="${KEYSTRAND_SIM:-}"
    E2E_MODEM_LINES="${KEYSTRAND_MODEM_LINES:-}"
    # What Windows programs are started through: nothing, or keystrand-modem-lines.
    E2E_LAUNCH=()
    rm -rf "$E2E_ARTIFACTS"
    mkdir -p "$E2E_ARTIFACTS" "$E2E_PORTS_DIR"
    export WINEPREFIX="$E2E_WORK_DIR/wineprefix"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    E2E_PIDS=()
    E2E_APP_PID=""
    E2E_XVFB_PID=""
    E2E_WINE_USED=0
    E2E_FLAVOUR=""
    E2E_WINESERVER=""
    trap e2e_cleanup EXIT
    trap 'exit 130' INT TERM
}

# e2e_begin NAME: how every test under Wine starts: the Wine of this run, a display, and the run's
# prefix.
e2e_begin() {
    e2e_init "$1"
    e2e_require_wine
    e2e_display
    e2e_prefix_use
}

# e2e_begin_with_com3 NAME: e2e_begin, then Wine started with COM3 alone in its map, on a
# pseudo-terminal that nobody answers.
e2e_begin_with_com3() {
    e2e_begin "$1"
    e2e_port_pty 3
    e2e_wine_start COM3
}

# Kills everything this test started, by process id, and Wine's processes of our private prefix.
e2e_cleanup() {
    local rc=$?
    set +e
    if [ -n "$E2E_APP_PID" ]; then
        kill "$E2E_APP_PID" 2>/dev/null
    fi
    if [ "$E2E_WINE_USED" = 1 ] && [ -n "$E2E_WINESERVER" ] && [ -d "$WINEPREFIX" ]; then
        timeout 30 "$E2E_WINESERVER" -k >/dev/null 2>&1
        timeout 30 "$E2E_WINESERVER" -w >/dev/null 2>&1
    fi
    local pid
    for pid in "${E2E_PIDS[@]}"; do
        kill "$pid" 2>/dev/null
    done
    for pid in "${E2E_PIDS[@]}"; do
        e2e_wait_pid "$pid" 5 || kill -9 "$pid" 2>/dev/null
    done
    if [ -n "$E2E_XVFB_PID" ]; then
        kill "$E2E_XVFB_PID" 2>/dev/null
        e2e_wait_pid "$E2E_XVFB_PID" 5 || kill -9 "$E2E_XVFB_PID" 2>/dev/null
    fi
    rm -rf "$E2E_PORTS_DIR"/com*
    exit "$rc"
}

# e2e_wait_pid PID SECONDS: true once the process has ended, false when it still runs then.
e2e_wait_pid() {
    local pid="$1" limit=$(($2 * 10)) i=0
    while kill -0 "$pid" 2>/dev/null; do
        i=$((i + 1))
        if [ "$i" -ge "$limit" ]; then
            return 1
        fi
        sleep 0.1
    done
    wait "$pid" 2>/dev/null || true
    return 0
}

# e2e_loader FLAVOUR: the Wine loader of that flavour (Debian keeps both in /usr/lib/wine), or
# nothing.
e2e_loader() {
    local name
    case "$1" in
    win32) name=wine ;;
    win64) name=wine64 ;;
    esac
    if [ -x "/usr/lib/wine/$name" ]; then
        echo "/usr/lib/wine/$name"
    elif command -v "$name" >/dev/null 2>&1; then
        command -v "$name"
    fi
}

# The wineserver binary itself (Debian's wrapper in /usr/bin adds options of its own): the 64-bit
# one serves 32-bit and 64-bit programs alike.
e2e_wineserver_binary() {
    local candidate
    for candidate in /usr/lib/wine/wineserver64 /usr/lib/wine/wineserver32; do
        if [ -x "$candidate" ]; then
            echo "$candidate"
            return
        fi
    done
    command -v wineserver 2>/dev/null || true
}

# e2e_build_dir FLAVOUR: the Windows build whose program runs under that flavour.
e2e_build_dir() {
    case "$1" in
    win32) echo "$KEYSTRAND_WINDOWS_BUILD_DIR" ;;
    win64) echo "${KEYSTRAND_WINDOWS64_BUILD_DIR:-}" ;;
    esac
}

# e2e_flavour_problem FLAVOUR: empty when that flavour can be tried here, else why not.
e2e_flavour_problem() {
    local flavour="$1" build loader out
    build="$(e2e_build_dir "$flavour")"
    if [ -z "$build" ] || [ ! -f "$build/dist/KeystrandUpdate.exe" ]; then
        echo "no program of the $flavour build (${build:-no folder given}/dist/KeystrandUpdate.exe)"
        return
    fi
    if [ ! -f "$build/tools/wine-driver/wine-driver.exe" ]; then
        echo "no test driver in the $flavour build ($build/tools/wine-driver/wine-driver.exe)"
        return
    fi
    loader="$(e2e_loader "$flavour")"
    if [ -z "$loader" ]; then
        echo "no Wine loader for $flavour"
        return
    fi
    if [ -z "$(e2e_wineserver_binary)" ]; then
        echo "no wineserver"
        return
    fi
    if ! out="$(timeout 30 "$loader" --version 2>&1)"; then
        # A loader that the kernel cannot execute is handed to the shell by the caller, which then
        # reports a syntax error: name the real cause where the loader is a 32-bit ELF file.
        if [ "$(head -c 5 "$loader" | od -An -tx1 | tr -d ' \n')" = 7f454c4601 ]; then
            echo "this machine's kernel cannot run 32-bit programs, so the 32-bit Wine loader $loader cannot start"
        else
            echo "$loader cannot run here: ${out//$'\n'/ }"
        fi
        return
    fi
}

# e2e_use_flavour FLAVOUR: the Wine loader, prefix architecture, program and tools of that flavour.
e2e_use_flavour() {
    E2E_FLAVOUR="$1"
    E2E_BUILD_DIR="$(e2e_build_dir "$1")"
    E2E_WINE="$(e2e_loader "$1")"
    E2E_WINESERVER="$(e2e_wineserver_binary)"
    export WINEARCH="$1"
    export WINELOADER="$E2E_WINE"
    export WINESERVER="$E2E_WINESERVER"
    E2E_DIST="$E2E_BUILD_DIR/dist"
    E2E_EXE="$E2E_DIST/KeystrandUpdate.exe"
    E2E_DRIVER="$E2E_BUILD_DIR/tools/wine-driver/wine-driver.exe"
    E2E_COMPANION="$E2E_BUILD_DIR/tools/wine-companion/wine-companion.exe"
    E2E_SERIAL_CHECK="$E2E_BUILD_DIR/tools/wine-serial-check/wine-serial-check.exe"
}

# e2e_build_on_demand FLAVOUR REASON: where the caller makes a Windows build only once it is needed
# (the demo: E2E_BUILD_ON_DEMAND names its command, which takes the flavour and the reason), has
# that flavour's build made or brought up to date, once per run.
e2e_build_on_demand() {
    [ -n "${E2E_BUILD_ON_DEMAND:-}" ] || return 0
    case " ${E2E_BUILT_ON_DEMAND:-} " in
    *" $1 "*) ;;
    *)
        E2E_BUILT_ON_DEMAND="${E2E_BUILT_ON_DEMAND:-} $1"
        "$E2E_BUILD_ON_DEMAND" "$1" "$2" || e2e_fail "the $1 build failed"
        ;;
    esac
}

# Chooses the Wine of this test. The prefix of this run, once made, says which Wine it was made
# for; before that: 32-bit Wine with the 32-bit build where its loader runs, else wine64 with the
# 64-bit build. (The set-up step then proves the choice by running a program of the build in the
# new prefix, and falls back to wine64 when 32-bit Wine starts but cannot run it.) With the
# argument "new", the record of an earlier prefix is not looked at.
e2e_require_wine() {
    local ready="$WINEPREFIX/.keystrand-e2e-ready" flavour="" reason="" problem32 problem64
    if [ "${1:-}" != new ] && [ -f "$ready" ]; then
        flavour="$(sed -n 's/^flavour=//p' "$ready")"
        reason="$(sed -n 's/^reason=//p' "$ready")"
    fi
    if [ -n "$flavour" ]; then
        if [ "$flavour" = win64 ]; then
            problem32="$(e2e_flavour_problem win32)"
            e2e_build_on_demand win64 "${problem32:-$reason}"
        fi
        e2e_use_flavour "$flavour"
        E2E_FLAVOUR_REASON="$reason"
        e2e_log "Wine: $flavour with $E2E_WINE, program $E2E_EXE (chosen for this run's prefix: $reason)"
        return
    fi
    case "${KEYSTRAND_E2E_WINE:-}" in
    win32 | win64)
        problem32="$(e2e_flavour_problem "$KEYSTRAND_E2E_WINE")"
        [ -z "$problem32" ] || e2e_unavailable "KEYSTRAND_E2E_WINE=$KEYSTRAND_E2E_WINE: $problem32"
        flavour="$KEYSTRAND_E2E_WINE"
        reason="forced by KEYSTRAND_E2E_WINE=$KEYSTRAND_E2E_WINE"
        ;;
    "")
        problem32="$(e2e_flavour_problem win32)"
        if [ -z "$problem32" ]; then
            flavour=win32
            reason="32-bit Wine runs here: the product's own 32-bit build is tested"
        else
            e2e_build_on_demand win64 "$problem32"
            problem64="$(e2e_flavour_problem win64)"
            if [ -z "$problem64" ]; then
                flavour=win64
                reason="32-bit Wine cannot be used ($problem32); the 64-bit build of the same sources runs under wine64"
            else
                e2e_unavailable "no Wine can run the program: win32: $problem32; win64: $problem64"
            fi
        fi
        ;;
    *) e2e_fail "KEYSTRAND_E2E_WINE must be win32 or win64, not \"$KEYSTRAND_E2E_WINE\"" ;;
    esac
    e2e_use_flavour "$flavour"
    E2E_FLAVOUR_REASON="$reason"
    e2e_log "Wine: $flavour with $E2E_WINE ($($E2E_WINE --version 2>&1)), program $E2E_EXE: $reason"
}

# Our own X display: the current one when it answers, else a new Xvfb on a free display number.
e2e_display() {
    if [ -n "${DISPLAY:-}" ] && timeout 10 xdpyinfo >/dev/null 2>&1; then
        e2e_log "using the display $DISPLAY"
        return
    fi
    command -v Xvfb >/dev/null 2>&1 || e2e_unavailable "Xvfb is not installed and no display answers"
    local number_file="$E2E_ARTIFACTS/xvfb.display" i=0
    : >"$number_file"
    Xvfb -displayfd 3 -screen 0 "${E2E_SCREEN_SIZE}x24" -nolisten tcp -noreset \
        3>"$number_file" >"$E2E_ARTIFACTS/xvfb.log" 2>&1 &
    E2E_XVFB_PID=$!
    while ! grep -q '^[0-9]' "$number_file" 2>/dev/null; do
        i=$((i + 1))
        [ "$i" -lt 200 ] || e2e_fail "Xvfb did not start within 20 s"
        kill -0 "$E2E_XVFB_PID" 2>/dev/null || e2e_fail "Xvfb ended: $(cat "$E2E_ARTIFACTS/xvfb.log")"
        sleep 0.1
    done
    export DISPLAY=":$(head -n1 "$number_file" | tr -dc '0-9')"
    timeout 10 xdpyinfo >/dev/null 2>&1 || e2e_fail "the display $DISPLAY does not answer"
    e2e_log "started Xvfb on $DISPLAY"
}

# The COM ports of the prefix, all leading into our ports folder: the dialog's COM1 to COM12 and a
# few beyond, which only the console program reaches.
E2E_COM_COUNT=20

# The registry seeds of a new prefix, in place before Wine first starts: COM1 to COM20 lead to
# our ports folder only, and Wine draws its own desktop of the screen's size (with window frames
# as Windows has them, since no window manager runs).
e2e_seed_registry() {
    local n
    {
        printf 'WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=%s\n\n' "$WINEARCH"
        printf '[Software\\\\Wine\\\\Ports] 1700000000\n'
        for n in $(seq 1 "$E2E_COM_COUNT"); do
            printf '"COM%d"="%s/com%d"\n' "$n" "$E2E_PORTS_DIR" "$n"
        done
    } >"$WINEPREFIX/system.reg"
    {
        printf 'WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n'
        printf '#arch=%s\n\n' "$WINEARCH"
        printf '[Software\\\\Wine\\\\Explorer] 1700000000\n"Desktop"="Default"\n\n'
        printf '[Software\\\\Wine\\\\Explorer\\\\Desktops] 1700000000\n"Default"="%s"\n' \
            "$E2E_SCREEN_SIZE"
    } >"$WINEPREFIX/user.reg"
}

# e2e_wineserver_stop: ends the wineserver of our prefix and its programs, and waits for that.
e2e_wineserver_stop() {
    timeout 30 "$E2E_WINESERVER" -k >/dev/null 2>&1 || true
    timeout 30 "$E2E_WINESERVER" -w >/dev/null 2>&1 || true
}

# Wine's own TrueType fonts (Tahoma, which stands for the dialogs' "MS Shell Dlg", and Marlett,
# which draws the caption buttons) go into the prefix's font folder: this Wine does not find them
# in its data folder by itself, and without them the dialogs are drawn in whatever font the
# machine has and the caption buttons show letters.
e2e_prefix_fonts() {
    local fonts_dir="$WINEPREFIX/drive_c/windows/Fonts" source_dir
    for source_dir in /usr/share/wine/fonts /usr/local/share/wine/fonts; do
        if [ -f "$source_dir/tahoma.ttf" ]; then
            mkdir -p "$fonts_dir"
            cp -n "$source_dir"/*.ttf "$fonts_dir"/
            return
        fi
    done
    e2e_log "WARNING: Wine's fonts (package fonts-wine) are missing: screenshots will not show the dialogs' real fonts"
}

# e2e_prefix_make: a new prefix of the chosen flavour; true once a program of the flavour's build
# has run in it (the driver reads the screen's size), else false with the reason in E2E_PROBLEM.
e2e_prefix_make() {
    local out
    E2E_PROBLEM=""
    if [ -d "$WINEPREFIX" ]; then
        e2e_wineserver_stop
    fi
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    rm -rf "$E2E_PORTS_DIR"/com*
    e2e_seed_registry
    e2e_log "creating the $E2E_FLAVOUR Wine prefix $WINEPREFIX"
    if ! timeout 600 "$E2E_WINE" wineboot -i >"$E2E_ARTIFACTS/wineboot-$E2E_FLAVOUR.log" 2>&1; then
        E2E_PROBLEM="wineboot failed: $(tail -3 "$E2E_ARTIFACTS/wineboot-$E2E_FLAVOUR.log" | tr '\n' ' ')"
        return 1
    fi
    timeout 120 "$E2E_WINESERVER" -w || {
        E2E_PROBLEM="Wine did not settle after creating the prefix"
        return 1
    }
    e2e_guard_real_ports
    e2e_prefix_fonts
    if ! out="$(timeout 120 "$E2E_WINE" "$E2E_DRIVER" screen 2>&1 | tr -d '\r')" ||
        ! grep -q '^screen' <<<"$out"; then
        E2E_PROBLEM="the $E2E_FLAVOUR test driver does not run in the prefix: ${out//$'\n'/ }"
        return 1
    fi
    e2e_log "a $E2E_FLAVOUR program runs in the prefix: $(grep '^screen' <<<"$out" | tr '\t' ' ')"
    e2e_wineserver_stop
    e2e_guard_real_ports
}

# Creates the private prefix anew (the set-up step of every run of the tests) for the Wine that
# e2e_require_wine chose, and records that choice in it. Where 32-bit Wine was chosen but cannot run
# the 32-bit driver after all, the prefix is made again for wine64, unless a flavour was forced.
e2e_prefix_create() {
    local problem64
    exec 9>"$E2E_WORK_DIR/wineprefix.lock"
    flock -w 900 9 || e2e_fail "the prefix lock is held by another run"
    E2E_WINE_USED=1
    if ! e2e_prefix_make; then
        if [ "$E2E_FLAVOUR" = win32 ] && [ -z "${KEYSTRAND_E2E_WINE:-}" ]; then
            e2e_build_on_demand win64 "32-bit Wine starts but cannot run a 32-bit program here ($E2E_PROBLEM)"
            problem64="$(e2e_flavour_problem win64)"
            if [ -n "$problem64" ]; then
                e2e_unavailable "32-bit Wine cannot run the program ($E2E_PROBLEM) and wine64 cannot be used ($problem64)"
            fi
            E2E_FLAVOUR_REASON="32-bit Wine starts but cannot run a 32-bit program here ($E2E_PROBLEM); the 64-bit build of the same sources runs under wine64"
            e2e_log "falling back to wine64: $E2E_FLAVOUR_REASON"
            e2e_use_flavour win64
            e2e_prefix_make || e2e_unavailable "wine64 cannot run the program either: $E2E_PROBLEM"
        else
            e2e_unavailable "$E2E_FLAVOUR Wine cannot run the program: $E2E_PROBLEM"
        fi
    fi
    printf 'flavour=%s\nreason=%s\n' "$E2E_FLAVOUR" "$E2E_FLAVOUR_REASON" \
        >"$WINEPREFIX/.keystrand-e2e-ready"
    e2e_log "Wine used by this run: $E2E_FLAVOUR"
    exec 9>&-
}

# Uses the prefix of this run; creates it when a test runs on its own.
e2e_prefix_use() {
    if [ ! -f "$WINEPREFIX/.keystrand-e2e-ready" ]; then
        e2e_prefix_create
    fi
    E2E_WINE_USED=1
}

# e2e_port_serve N WHAT OUTPUT COMMAND...: COMMAND, in the background with its output in the
# artefacts file OUTPUT, links a pseudo-terminal at COMn's place in our ports folder (the caller
# names that place, $E2E_PORTS_DIR/comN, among COMMAND's arguments); waits up to 20 s for the link.
# The process id is in E2E_SERVE_PID.
e2e_port_serve() {
    local n="$1" what="$2" output="$3"
    shift 3
    e2e_port_free "$n"
    "$@" >"$E2E_ARTIFACTS/$output" 2>&1 &
    E2E_SERVE_PID=$!
    E2E_PIDS+=("$E2E_SERVE_PID")
    e2e_wait_for "$what on COM$n" 20 test -L "$E2E_PORTS_DIR/com$n"
    e2e_log "COM$n -> $(readlink "$E2E_PORTS_DIR/com$n") ($what)"
}

# e2e_port_pty N: COMn is one end of a new pseudo-terminal whose other end nobody talks to;
# what the program writes is kept in the artefacts as comN.log.
e2e_port_pty() {
    e2e_port_serve "$1" "a silent pseudo-terminal" "com$1.out" \
        python3 "$E2E_LIB_DIR/pty_hold.py" "$E2E_PORTS_DIR/com$1" "$E2E_ARTIFACTS/com$1.log" 900
}

# e2e_device_start NAME [OPTION...]: keystrand-sim in its boot loader serving COM3, with further
# options of its own (faults, pacing, outputs); its status file is NAME.status in the artefacts.
e2e_device_start() {
    local name="$1"
    shift
    e2e_port_serve 3 "the simulated device" "$name.sim.out" \
        "$E2E_SIM" --link "$E2E_PORTS_DIR/com3" --mode boot --quiet --max-seconds 3600 \
        --status-file "$E2E_ARTIFACTS/$name.status" "$@"
    E2E_DEVICE_PID=$E2E_SERVE_PID
}

# e2e_device_with_faults [--app SERIAL] [--holding HEX] [--record] NAME [FAULT...]: the device with
# those fault entries. With --app, it runs its application firmware, holding DSR on, with that
# serial, as a device from the field. With --holding, its flash starts with the firmware of that
# HEX file. With --record, it also logs every character to NAME.device.log and writes the flashed
# image to NAME.flashed.hex in the artefacts when it ends.
e2e_device_with_faults() {
    local options=() fault
    if [ "$1" = --app ]; then
        options+=(--mode app --serial "$2")
        shift 2
    fi
    if [ "$1" = --holding ]; then
        options+=(--image-in "$2")
        shift 2
    fi
    if [ "$1" = --record ]; then
        shift
        options+=(--log "$E2E_ARTIFACTS/$1.device.log" --image-out "$E2E_ARTIFACTS/$1.flashed.hex")
    fi
    for fault in "${@:2}"; do
        options+=(--fault "$fault")
    done
    e2e_device_start "$1" "${options[@]}"
}

# e2e_device_status NAME KEY: that value of the status file of the device started as NAME.
e2e_device_status() {
    sed -n "s/^$2=//p" "$E2E_ARTIFACTS/$1.status"
}

# e2e_device_stop: ends the device started last; it writes its outputs as it ends.
e2e_device_stop() {
    kill "$E2E_DEVICE_PID" 2>/dev/null || true
    e2e_wait_pid "$E2E_DEVICE_PID" 10 || e2e_fail "the simulated device does not stop"
}

# e2e_wait_for WHAT SECONDS COMMAND...: polls COMMAND every 0.1 s until it succeeds; fails the test
# after SECONDS.
e2e_wait_for() {
    local what="$1" limit=$(($2 * 10)) i=0
    shift 2
    until "$@" >/dev/null 2>&1; do
        i=$((i + 1))
        [ "$i" -lt "$limit" ] || e2e_fail "$what: not within $((limit / 10)) s"
        sleep 0.1
    done
}

# e2e_port_free N: takes away what stands at COMn's place in our ports folder (a placeholder), so
# that a pty can be linked there.
e2e_port_free() {
    rm -rf "$E2E_PORTS_DIR/com$1"
}

# e2e_port_unopenable N: COMn leads to a folder, so that every open of the port fails, as for a
# port that another program holds.
e2e_port_unopenable() {
    rm -rf "$E2E_PORTS_DIR/com$1"
    mkdir -p "$E2E_PORTS_DIR/com$1"
}

# Every one of COM1 to COM20 that has no terminal behind it becomes unopenable. Where Wine's link
# for COMn leads nowhere, Wine does not fail the open: for COM1 to COM9 it falls back to the
# machine's /dev/ttyS(n-1), a real serial port, and otherwise opens a placeholder device of its own
# on which every open succeeds. A folder in its place makes the open fail instead.
e2e_ports_placeholders() {
    local n path
    for n in $(seq 1 "$E2E_COM_COUNT"); do
        path="$E2E_PORTS_DIR/com$n"
        if [ ! -e "$path" ]; then
            rm -f "$path"
            mkdir -p "$path"
        fi
    done
}

# e2e_port_held_by_companion N TARGET LOG: COMn is held by the companion program, so that every
# open of it fails, until the companion's log LOG (in the artefacts) says that it let the port go
# ("handoff 1001 N"): from then on COMn is TARGET, until the companion takes it back ("handoff
# 1002 N"). A watcher in the background makes the changes (for at most 300 s). Wine keeps no
# process out of a COM port that another one has open, so the hold is made in our ports folder.
e2e_port_held_by_companion() {
    local n="$1" target="$2" log="$E2E_ARTIFACTS/$3" path="$E2E_PORTS_DIR/com$1"
    e2e_port_unopenable "$n"
    (
        i=0
        # until_said CODE: until the companion's log has that hand-off, or the time is up.
        until_said() {
            until tr -d '\r' <"$log" 2>/dev/null | grep -qx "handoff $1 $n"; do
                i=$((i + 1))
                [ "$i" -lt 15000 ] || exit 1
                sleep 0.02
            done
        }
        until_said 1001
        rm -rf "$path"
        ln -sfn "$target" "$path"
        until_said 1002
        rm -f "$path"
        mkdir -p "$path"
    ) &
    E2E_PIDS+=("$!")
}

# e2e_port_link N PATH: COMn is PATH (for instance the terminal that keystrand-sim serves).
e2e_port_link() {
    e2e_port_free "$1"
    ln -sfn "$2" "$E2E_PORTS_DIR/com$1"
}

# Removes every COM link of the prefix that does not lead into our ports folder: Wine links the
# machine's own serial devices to the numbers above COM20 each time it starts. Said in full the
# first time in a test, briefly after that.
e2e_guard_real_ports() {
    local link target port
    for link in "$WINEPREFIX"/dosdevices/com*; do
        [ -L "$link" ] || continue
        target="$(readlink "$link")"
        case "$target" in
        "$E2E_PORTS_DIR"/com*) ;;
        *)
            rm -f "$link"
            port="$(basename "$link" | tr '[:lower:]' '[:upper:]')"
            case " ${E2E_GUARD_SAID:-} " in
            *" $port "*) e2e_log "Wine mapped $port to $target again as it started; removed again" ;;
            *)
                E2E_GUARD_SAID="${E2E_GUARD_SAID:-} $port"
                e2e_log "Wine had mapped $port to this machine's real serial port $target; removed that mapping so that no real port is touched"
                ;;
            esac
            ;;
        esac
    done
    for link in "$WINEPREFIX"/dosdevices/com*; do
        [ -L "$link" ] || continue
        case "$(readlink "$link")" in
        "$E2E_PORTS_DIR"/com*) ;;
        *) e2e_fail "a COM link still leads out of our ports folder: $link" ;;
        esac
    done
}

# e2e_console_package SIZE: a firmware package of SIZE bytes of data in the artefacts folder
# (E2E_PACKAGE: Keystrand_SM.txt naming fw.hex), and the console program of the build
# (E2E_CONSOLE_EXE).
e2e_console_package() {
    E2E_PACKAGE="$E2E_ARTIFACTS/package"
    mkdir -p "$E2E_PACKAGE"
    printf '2.10\r\nfw.hex\r\n' >"$E2E_PACKAGE/Keystrand_SM.txt"
    python3 "$E2E_LIB_DIR/../../tools/make_sample_hex.py" --size "$1" --output "$E2E_PACKAGE/fw.hex"
    E2E_CONSOLE_EXE="$E2E_BUILD_DIR/src/console/keystrand-update.exe"
    [ -f "$E2E_CONSOLE_EXE" ] || e2e_fail "no console program at $E2E_CONSOLE_EXE"
}

# The test driver, with its console's CR LF line ends made plain.
e2e_driver() {
    timeout 120 "$E2E_WINE" "$E2E_DRIVER" "$@" | tr -d '\r'
}

# e2e_wine_start [COMn ...]: a persistent wineserver whose serial-port map names exactly the
# given ports, with the machine's own serial devices unlinked.
e2e_wine_start() {
    E2E_WINE_USED=1
    e2e_wineserver_stop
    e2e_ports_placeholders
    # Its output goes to the artefacts: a wineserver dumps its objects when it is ended.
    timeout 30 "$E2E_WINESERVER" -p >>"$E2E_ARTIFACTS/wineserver.log" 2>&1 ||
        e2e_fail "wineserver did not start"
    # The first program starts Wine's services, which fill the map from the Ports key (COM1 to
    # COM12 first) and from the machine's devices; the driver waits for that, then replaces it.
    e2e_driver serialcomm-set --wait-for COM12 --timeout 120000 "$@" ||
        e2e_fail "cannot set the serial-port map"
    e2e_guard_real_ports
    e2e_log "serial-port map: $(e2e_driver serialcomm-list | tr '\t\n' '= ')"
}

# e2e_use_modem_lines: every Windows program started from here on (e2e_wine_background,
# e2e_start_app, e2e_wine_run) runs under keystrand-modem-lines; says which library its Wine takes.
e2e_use_modem_lines() {
    [ -n "$E2E_MODEM_LINES" ] && [ -x "$E2E_MODEM_LINES" ] ||
        e2e_fail "keystrand-modem-lines is not built (KEYSTRAND_MODEM_LINES=\"$E2E_MODEM_LINES\")"
    local kind=x86_64-linux-gnu
    [ "$E2E_FLAVOUR" = win32 ] && kind=i386-linux-gnu
    local library
    library="$(dirname "$(dirname "$E2E_MODEM_LINES")")/lib/$kind/keystrand-sim/libkeystrand-modem-lines.so"
    [ -f "$library" ] || e2e_fail "the modem-line library for $E2E_FLAVOUR Wine is missing: $library"
    E2E_LAUNCH=("$E2E_MODEM_LINES")
    e2e_log "modem lines: Windows programs run under $E2E_MODEM_LINES ($E2E_FLAVOUR Wine takes $library)"
}

# e2e_wine_background OUTPUT PROGRAM [ARG...]: a Windows program under our Wine, in the background
# with its output in the artefacts file OUTPUT, started from the artefacts folder (not its own);
# its process id is in E2E_BACKGROUND_PID.
e2e_wine_background() {
    local output="$1"
    shift
    (cd "$E2E_ARTIFACTS" && exec "${E2E_LAUNCH[@]}" "$E2E_WINE" "$@") >"$E2E_ARTIFACTS/$output" 2>&1 &
    E2E_BACKGROUND_PID=$!
}

# e2e_wine_run SECONDS PROGRAM [ARG...]: a Windows program under our Wine, waited for at most
# SECONDS; its exit status.
e2e_wine_run() {
    local seconds="$1"
    shift
    timeout "$seconds" "${E2E_LAUNCH[@]}" "$E2E_WINE" "$@"
}

# e2e_start_app [PROGRAM [OUTPUT]]: the program (by default the build's) from a folder other than
# its own, so that it finds its package by the program directory of its command line.
e2e_start_app() {
    e2e_ports_placeholders
    e2e_wine_background "${2:-app.log}" "${1:-$E2E_EXE}"
    E2E_APP_PID=$E2E_BACKGROUND_PID
    e2e_log "started the program (process $E2E_APP_PID)"
}

# e2e_main_window [CONTEXT]: the handle of the main dialog of the program just started, once it
# shows (at most a minute).
e2e_main_window() {
    e2e_driver find-window "$E2E_TITLE" 60000 || e2e_fail "${1:+$1: }no window titled \"$E2E_TITLE\""
}

# e2e_begin_update HWND [CONTEXT]: presses Begin Update.
e2e_begin_update() {
    e2e_driver click "$1" "$E2E_ID_BEGIN_UPDATE" || e2e_fail "${2:+$2: }cannot click Begin Update"
}

# e2e_result_line HWND: the main dialog's result line.
e2e_result_line() {
    e2e_driver text "$1" "$E2E_ID_RESULT_LINE"
}

# e2e_control_enabled HWND ID: 1 when that control of the window is enabled, else 0.
e2e_control_enabled() {
    e2e_driver controls "$1" | awk -F'\t' -v id="$2" '$1 == id { print $6 }'
}

# e2e_wait_msgbox OWNER CAPTION SECONDS [CONTEXT]: waits for a message box of the window OWNER (0:
# of any window) with that caption (empty: any); then E2E_BOX holds the driver's lines about it,
# E2E_BOX_HWND its handle, E2E_BOX_CAPTION its caption and E2E_BOX_TEXT its text on one line,
# escaped as the driver prints every text (line feeds as \n, quotes as \", backslashes doubled).
# Call it as a command of its own, not inside $(...).
e2e_wait_msgbox() {
    local owner="$1" caption="$2" seconds="$3" context="${4:+$4: }" args=("$1")
    if [ -n "$caption" ]; then
        args+=("$caption")
    fi
    if ! E2E_BOX="$(e2e_driver wait-msgbox "${args[@]}" $((seconds * 1000)))"; then
        if [ "$owner" != 0 ]; then
            e2e_fail "${context}no message box${caption:+ \"$caption\"} within $seconds s; result line \"$(e2e_result_line "$owner")\""
        fi
        e2e_fail "${context}no message box${caption:+ \"$caption\"} within $seconds s"
    fi
    E2E_BOX_HWND="$(sed -n 's/^hwnd\t//p' <<<"$E2E_BOX")"
    E2E_BOX_CAPTION="$(sed -n 's/^caption\t//p' <<<"$E2E_BOX")"
    E2E_BOX_TEXT="$(sed -n 's/^text\t//p' <<<"$E2E_BOX")"
}

# e2e_close_with_ok HWND WHAT: presses OK on that box (a message box, the About box) and waits
# until it is gone.
e2e_close_with_ok() {
    local status=0
    e2e_driver press "$1" 1 || e2e_fail "cannot press OK on $2"
    # The driver's status tells a box that stays (1) from a driver that did not run.
    e2e_driver wait-gone "$1" 20000 || status=$?
    [ "$status" = 0 ] || e2e_fail "$2 stays open after OK (wait-gone ended with status $status)"
}

# e2e_msgbox_ok [CONTEXT]: OK on the message box that e2e_wait_msgbox found.
e2e_msgbox_ok() {
    e2e_close_with_ok "$E2E_BOX_HWND" "${1:+$1: }the message box"
}

# e2e_close_with_escape HWND: Escape ends the main dialog and with it the program.
e2e_close_with_escape() {
    e2e_driver escape "$1" || e2e_fail "cannot send Escape"
    e2e_driver wait-gone "$1" 20000 || e2e_fail "the dialog stays open after Escape"
    e2e_wait_app_exit 30
}

# e2e_close_with_done HWND [CONTEXT]: Done ends the main dialog and with it the program.
e2e_close_with_done() {
    e2e_driver cancel "$1" || e2e_fail "${2:+$2: }cannot press Done"
    e2e_wait_app_exit 30
}

# e2e_wait_app_exit SECONDS
e2e_wait_app_exit() {
    if ! e2e_wait_pid "$E2E_APP_PID" "$1"; then
        e2e_fail "the program still runs after $1 s"
    fi
    E2E_APP_PID=""
}

e2e_screenshot() {
    local file="$E2E_ARTIFACTS/$1.png"
    timeout 30 import -display "$DISPLAY" -window root "$file" || e2e_fail "no screenshot"
    e2e_log "screenshot $file"
}

# e2e_screenshot_painted NAME: the screenshot once the windows have had a second to finish painting.
e2e_screenshot_painted() {
    sleep 1
    e2e_screenshot "$1"
}

# e2e_colour_pixels PICTURE COLOUR: how many pixels of the artefact PICTURE.png have exactly that
# colour ("#RRGGBB").
e2e_colour_pixels() {
    convert "$E2E_ARTIFACTS/$1.png" -fill black +opaque "$2" -fill white -opaque "$2" \
        -format '%[fx:round(mean*w*h)]' info:
}

# e2e_colour_extent PICTURE COLOUR: "WIDTH HEIGHT X Y" of the smallest rectangle around the pixels
# of that colour.
e2e_colour_extent() {
    convert "$E2E_ARTIFACTS/$1.png" -fill black +opaque "$2" -fill white -opaque "$2" -trim \
        -format '%w %h %X %Y\n' info: | tr -d '+'
}

# e2e_expect_placement WHAT HWND: the window is centred across the screen, a quarter of the free
# height from the top.
e2e_expect_placement() {
    local left top width height screen_w screen_h
    read -r _ left top width height < <(e2e_driver rect "$2" | grep '^window')
    read -r _ screen_w screen_h < <(e2e_driver screen | grep '^screen')
    e2e_log "$1 at $left,$top ${width}x$height on a ${screen_w}x$screen_h screen"
    e2e_expect "$1 x" "$left" "$(((screen_w - width) / 2))"
    e2e_expect "$1 y" "$top" "$(((screen_h - height) / 4))"
}

# e2e_expect WHAT ACTUAL EXPECTED
e2e_expect() {
    if [ "$2" != "$3" ]; then
        e2e_fail "$1: got \"$2\", expected \"$3\""
    fi
}
