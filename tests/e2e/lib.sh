# lib.sh: what every end-to-end test shares: the private Wine prefix, the X display, COM ports
# on pseudo-terminals, the test driver, screenshots and a clean-up that always runs.
# shellcheck shell=bash
#
# A test script sources this file, calls e2e_init NAME first and then what it needs. Every wait
# has a limit. Nothing here touches a real serial port: the prefix maps COM1 to COM12 to links in
# our own ports folder, and every other COM link that Wine makes for the machine's serial devices
# is removed before the program runs.
#
# Environment: KEYSTRAND_WINDOWS_BUILD_DIR (the Windows build with dist/ and the driver),
# E2E_WORK_DIR (our folder in the host build: prefix, ports, artefacts), optionally
# KEYSTRAND_E2E_REQUIRED=1 to fail instead of skipping where Wine cannot run 32-bit programs.

set -euo pipefail

E2E_SKIP_CODE=77
E2E_SCREEN_SIZE="1024x768"
E2E_LIB_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

e2e_log() { printf '[%s %s] %s\n' "$(date +%T)" "${E2E_NAME:-e2e}" "$*" >&2; }

e2e_fail() {
    e2e_log "FAIL: $*"
    exit 1
}

e2e_skip() {
    if [ "${KEYSTRAND_E2E_REQUIRED:-0}" = 1 ]; then
        e2e_fail "$* (KEYSTRAND_E2E_REQUIRED=1)"
    fi
    e2e_log "SKIPPED: $*"
    exit "$E2E_SKIP_CODE"
}

e2e_init() {
    E2E_NAME="$1"
    : "${KEYSTRAND_WINDOWS_BUILD_DIR:?the Windows build folder}"
    : "${E2E_WORK_DIR:?the end-to-end work folder}"
    E2E_DIST="$KEYSTRAND_WINDOWS_BUILD_DIR/dist"
    E2E_EXE="$E2E_DIST/KeystrandUpdate.exe"
    E2E_DRIVER="$KEYSTRAND_WINDOWS_BUILD_DIR/tools/wine-driver/wine-driver.exe"
    E2E_ARTIFACTS="$E2E_WORK_DIR/artifacts/$E2E_NAME"
    E2E_PORTS_DIR="$E2E_WORK_DIR/ports"
    rm -rf "$E2E_ARTIFACTS"
    mkdir -p "$E2E_ARTIFACTS" "$E2E_PORTS_DIR"
    export WINEPREFIX="$E2E_WORK_DIR/wineprefix"
    export WINEARCH=win32
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    E2E_PIDS=()
    E2E_APP_PID=""
    E2E_XVFB_PID=""
    E2E_WINE_USED=0
    trap e2e_cleanup EXIT
    trap 'exit 130' INT TERM
}

# Kills everything this test started, by process id, and Wine's processes of our private prefix.
e2e_cleanup() {
    local rc=$?
    set +e
    if [ -n "$E2E_APP_PID" ]; then
        kill "$E2E_APP_PID" 2>/dev/null
    fi
    if [ "$E2E_WINE_USED" = 1 ] && [ -d "$WINEPREFIX" ]; then
        timeout 30 wineserver -k >/dev/null 2>&1
        timeout 30 wineserver -w >/dev/null 2>&1
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
    rm -f "$E2E_PORTS_DIR"/com*
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

# Skips the test (exit 77) where Wine is missing or cannot start 32-bit programs, as on a kernel
# without 32-bit support.
e2e_require_wine() {
    [ -f "$E2E_EXE" ] || e2e_fail "no $E2E_EXE: build the windows preset first"
    [ -f "$E2E_DRIVER" ] || e2e_fail "no $E2E_DRIVER: build the windows preset first"
    command -v wine >/dev/null 2>&1 || e2e_skip "wine is not installed"
    command -v wineserver >/dev/null 2>&1 || e2e_skip "wineserver is not installed"
    local out
    if ! out="$(timeout 30 wine --version 2>&1)"; then
        e2e_skip "Wine cannot run 32-bit programs on this machine: ${out//$'\n'/ }"
    fi
    e2e_log "using $out"
}

# Our own X display: the current one when it answers, else a new Xvfb on a free display number.
e2e_display() {
    if [ -n "${DISPLAY:-}" ] && timeout 10 xdpyinfo >/dev/null 2>&1; then
        e2e_log "using the display $DISPLAY"
        return
    fi
    command -v Xvfb >/dev/null 2>&1 || e2e_skip "Xvfb is not installed"
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

# The registry seeds of a new prefix, in place before Wine first starts: COM1 to COM12 lead to
# our ports folder only, and Wine draws its own desktop of the screen's size (with window frames
# as Windows has them, since no window manager runs).
e2e_seed_registry() {
    local n
    {
        printf 'WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win32\n\n'
        printf '[Software\\\\Wine\\\\Ports] 1700000000\n'
        for n in $(seq 1 12); do
            printf '"COM%d"="%s/com%d"\n' "$n" "$E2E_PORTS_DIR" "$n"
        done
    } >"$WINEPREFIX/system.reg"
    {
        printf 'WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n'
        printf '#arch=win32\n\n'
        printf '[Software\\\\Wine\\\\Explorer] 1700000000\n"Desktop"="Default"\n\n'
        printf '[Software\\\\Wine\\\\Explorer\\\\Desktops] 1700000000\n"Default"="%s"\n' \
            "$E2E_SCREEN_SIZE"
    } >"$WINEPREFIX/user.reg"
}

# Creates the private prefix anew (the set-up step of every run of the tests).
e2e_prefix_create() {
    exec 9>"$E2E_WORK_DIR/wineprefix.lock"
    flock -w 900 9 || e2e_fail "the prefix lock is held by another run"
    E2E_WINE_USED=1
    if [ -d "$WINEPREFIX" ]; then
        timeout 30 wineserver -k >/dev/null 2>&1 || true
        timeout 30 wineserver -w >/dev/null 2>&1 || true
    fi
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    rm -f "$E2E_PORTS_DIR"/com*
    e2e_seed_registry
    e2e_log "creating the Wine prefix $WINEPREFIX"
    timeout 600 wineboot -i >"$E2E_ARTIFACTS/wineboot.log" 2>&1 ||
        e2e_fail "wineboot failed: $(tail -5 "$E2E_ARTIFACTS/wineboot.log")"
    timeout 120 wineserver -w || e2e_fail "Wine did not settle after creating the prefix"
    e2e_guard_real_ports
    touch "$WINEPREFIX/.keystrand-e2e-ready"
    exec 9>&-
}

# Uses the prefix of this run; creates it when a test runs on its own.
e2e_prefix_use() {
    if [ ! -f "$WINEPREFIX/.keystrand-e2e-ready" ]; then
        e2e_prefix_create
    fi
    E2E_WINE_USED=1
}

# e2e_port_pty N: COMn is one end of a new pseudo-terminal whose other end nobody talks to;
# what the program writes is kept in the artefacts as comN.log.
e2e_port_pty() {
    local n="$1" i=0
    python3 "$E2E_LIB_DIR/pty_hold.py" "$E2E_PORTS_DIR/com$n" "$E2E_ARTIFACTS/com$n.log" 900 &
    E2E_PIDS+=("$!")
    while [ ! -L "$E2E_PORTS_DIR/com$n" ]; do
        i=$((i + 1))
        [ "$i" -lt 100 ] || e2e_fail "no pseudo-terminal for COM$n within 10 s"
        sleep 0.1
    done
    e2e_log "COM$n -> $(readlink "$E2E_PORTS_DIR/com$n")"
}

# e2e_port_link N PATH: COMn is PATH (for instance the terminal that keystrand-sim serves).
e2e_port_link() {
    ln -sfn "$2" "$E2E_PORTS_DIR/com$1"
}

# Removes every COM link of the prefix that does not lead into our ports folder: Wine links the
# machine's own serial devices to the numbers above COM12 each time it starts.
e2e_guard_real_ports() {
    local link target
    for link in "$WINEPREFIX"/dosdevices/com*; do
        [ -L "$link" ] || continue
        target="$(readlink "$link")"
        case "$target" in
        "$E2E_PORTS_DIR"/com*) ;;
        *)
            rm -f "$link"
            e2e_log "removed $(basename "$link") -> $target"
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

# The test driver, with its console's CR LF line ends made plain.
e2e_driver() {
    timeout 120 wine "$E2E_DRIVER" "$@" | tr -d '\r'
}

# e2e_wine_start [COMn ...]: a persistent wineserver whose serial-port map names exactly the
# given ports, with the machine's own serial devices unlinked.
e2e_wine_start() {
    E2E_WINE_USED=1
    timeout 30 wineserver -k >/dev/null 2>&1 || true
    timeout 30 wineserver -w >/dev/null 2>&1 || true
    timeout 30 wineserver -p || e2e_fail "wineserver did not start"
    # The first program starts Wine's services, which fill the map from the Ports key (COM1 to
    # COM12 first) and from the machine's devices; the driver waits for that, then replaces it.
    e2e_driver serialcomm-set --wait-for COM12 --timeout 120000 "$@" ||
        e2e_fail "cannot set the serial-port map"
    e2e_guard_real_ports
    e2e_log "serial-port map: $(e2e_driver serialcomm-list | tr '\t\n' '= ')"
}

# Starts the program from a folder other than its own, so that it finds its package by the
# program directory of its command line.
e2e_start_app() {
    (cd "$E2E_ARTIFACTS" && exec wine "$E2E_EXE") >"$E2E_ARTIFACTS/app.log" 2>&1 &
    E2E_APP_PID=$!
    e2e_log "started the program (process $E2E_APP_PID)"
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

# e2e_expect WHAT ACTUAL EXPECTED
e2e_expect() {
    if [ "$2" != "$3" ]; then
        e2e_fail "$1: got \"$2\", expected \"$3\""
    fi
}
