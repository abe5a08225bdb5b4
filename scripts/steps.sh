# steps.sh: sourced by scripts/setup and scripts/demo, not a command of its own.
# Each step of theirs is one line on the screen: what it does, then how long it took. The step's
# own output (package manager, compilers) goes to a log, whose end is shown only when the step
# fails. On a terminal the line also shows how far the step has come while it runs.
# shellcheck shell=bash

# step_duration SECONDS: "41 s" or "2 min 17 s".
step_duration() {
    if [ "$1" -ge 60 ]; then
        printf '%d min %d s' $(($1 / 60)) $(($1 % 60))
    else
        printf '%d s' "$1"
    fi
}

# step_progress TITLE SHOW: copies its input to standard output (the log) but for the package
# manager's status lines (asked for with APT::Status-Fd); with SHOW=1, shows on file descriptor 3
# (the terminal) the percentage that those lines or the build's lines report. Ends with the status
# that the input's last line "step-status:N" gives.
step_progress() {
    local title="$1" show="$2" line percent="" shown="" what="" status=1
    while IFS= read -r line; do
        case "$line" in
        step-status:*)
            status="${line#step-status:}"
            continue
            ;;
        dlstatus:*)
            what="downloading"
            IFS=: read -r _ _ percent _ <<<"$line"
            ;;
        pmstatus:*)
            what="installing"
            IFS=: read -r _ _ percent _ <<<"$line"
            ;;
        *)
            printf '%s\n' "$line"
            if [[ "$line" =~ ^\[\ *([0-9]+)%\] ]]; then
                what=""
                percent="${BASH_REMATCH[1]}"
            elif [[ "$line" =~ ^\[([0-9]+)/([0-9]+)\] ]]; then
                what=""
                percent=$((BASH_REMATCH[1] * 100 / BASH_REMATCH[2]))
            fi
            ;;
        esac
        percent="${percent%%.*}"
        if [ "$show" = 1 ] && [ -n "$percent" ] && [ "$what $percent" != "$shown" ]; then
            shown="$what $percent"
            printf '\r%s ... %s%s%%\033[K' "$title" "${what:+$what }" "$percent" >&3
        fi
    done
    return "$status"
}

# step_run TITLE COMMAND...: runs COMMAND with its output appended to the log $STEP_LOG, after a
# header naming the step. Prints TITLE, then "done in 12 s"; on failure "FAILED", the last lines
# of the log, and returns the command's status.
step_run() {
    local title="$1" start=$SECONDS rc=0 elapsed show=0 first
    shift
    if [ -t 1 ]; then
        show=1
    fi
    mkdir -p "$(dirname "$STEP_LOG")"
    touch "$STEP_LOG"
    first=$(($(wc -l <"$STEP_LOG") + 1))
    printf '\n==== %s %s\n==== %s\n' "$(date '+%F %T')" "$title" "$*" >>"$STEP_LOG"
    printf '%s ... ' "$title"
    # The command's status comes through the pipe as its last line, whether or not the caller
    # set pipefail.
    {
        local status=0
        "$@" </dev/null 2>&1 || status=$?
        echo "step-status:$status"
    } | step_progress "$title" "$show" 3>&1 >>"$STEP_LOG" || rc=$?
    if [ "$show" = 1 ]; then
        printf '\r%s ... \033[K' "$title"
    fi
    elapsed="$(step_duration $((SECONDS - start)))"
    if [ "$rc" -ne 0 ]; then
        printf 'FAILED after %s (exit status %d). The end of %s:\n' "$elapsed" "$rc" "$(step_log_name)"
        tail -n "+$first" "$STEP_LOG" | tail -n "${STEP_TAIL_LINES:-30}" | sed 's/^/    /'
        return "$rc"
    fi
    printf 'done in %s\n' "$elapsed"
}

# step_log_name: the log's path as the user sees it, relative to the current folder when inside it.
step_log_name() {
    case "$STEP_LOG" in
    "$PWD"/*) echo "${STEP_LOG#"$PWD"/}" ;;
    *) echo "$STEP_LOG" ;;
    esac
}
