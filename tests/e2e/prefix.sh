#!/usr/bin/env bash
# The set-up step of an end-to-end run: a new private Wine prefix that the tests of the run share.
source "$(dirname "$0")/lib.sh"

e2e_init prefix
e2e_require_wine new
e2e_display
e2e_prefix_create
e2e_log "prefix ready"
