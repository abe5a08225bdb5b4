#!/usr/bin/env bash
# manual.sh PROGRAM PAGE: the manual page made from PROGRAM's --help says what --help says.
# The page renders without a warning from groff or man; every form of the command in the help's
# usage block is a form in the page's synopsis (help2man keeps only the lines that begin with the
# program's name there); every option the help names is in the page; the page carries the version
# that --version gives.
set -uo pipefail
program="$1"
page="$2"
name="$(basename "$program")"
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

help="$("$program" --help)" || fail "$name --help ended with exit code $?"
warnings="$(mktemp)"
trap 'rm -f "$warnings"' EXIT
rendered="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E ascii -l "$page" 2>"$warnings")" ||
    fail "man could not render $page"
if [ -s "$warnings" ]; then
    fail "rendering $page gave warnings:"
    cat "$warnings"
fi

# Forms of the command: the usage block's lines that begin with the program's name.
help_forms="$(printf '%s\n' "$help" | sed -n '/^Usage:/,/^$/p' |
    grep -c -E "^(Usage:)? *$name( |$)")"
page_forms="$(printf '%s\n' "$rendered" | sed -n '/^SYNOPSIS/,/^[A-Z]/p' |
    grep -c -E "^ +$name( |$)")"
if [ "$help_forms" -eq 0 ] || [ "$help_forms" != "$page_forms" ]; then
    fail "--help shows $help_forms forms of the command, the synopsis $page_forms"
fi

# Options: every long option of the help text, anywhere in the page.
options=0
while read -r option; do
    options=$((options + 1))
    grep -q -F -e "$option" <<<"$rendered" || fail "the page does not name $option"
done < <(printf '%s\n' "$help" | grep -o -E -- '--[a-z][a-z-]+' | sort -u)
[ "$options" -gt 0 ] || fail "--help names no option"

# The version: the page's header line carries --version's number where the program has one.
if version="$("$program" --version 2>/dev/null)"; then
    number="${version##* }"
    head -n 3 "$page" | grep -q -F "\"$name $number\"" ||
        fail "the page's header does not carry the version $number"
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures failure(s) in $page"
    exit 1
fi
echo "$page: renders cleanly, $page_forms forms, $options options, as --help says"
