#!/usr/bin/env bash
# make-zip.sh BUILD_DIR OUT_DIR VERSION COMMIT DATE: KeystrandUpdate-VERSION-win32.zip in OUT_DIR
# from BUILD_DIR (a windows build with dist/ and keystrand-update.exe): the files in one folder
# named like the zip, with README.txt (packaging/windows/README.txt.in, CRLF line ends). Run by
# scripts/release, from the repository's root, with SOURCE_DATE_EPOCH set.
#
# The same files give the same zip: every time is SOURCE_DATE_EPOCH (a zip keeps local times, so
# TZ is UTC), the permissions and the order are fixed, and -X leaves out the extra fields (owner,
# further times). The work folder is build/release-zip/.
set -euo pipefail
build="$1"
out="$2"
version="$3"
commit="$4"
date="$5"
: "${SOURCE_DATE_EPOCH:?make-zip.sh needs SOURCE_DATE_EPOCH}"
export TZ=UTC LC_ALL=C.UTF-8

hex="$(sed -n 's/^KEYSTRAND_SAMPLE_HEX_NAME:[A-Z]*=//p' "$build/CMakeCache.txt")"
name="KeystrandUpdate-$version-win32"
files=(KeystrandUpdate.exe Keystrand_SM.txt "$hex" keystrand-update.exe README.txt)

stage="$PWD/build/release-zip"
folder="$stage/$name"
rm -rf "$stage"
mkdir -p "$folder"
cp "$build/dist/KeystrandUpdate.exe" "$build/dist/Keystrand_SM.txt" "$build/dist/$hex" \
    "$build/src/console/keystrand-update.exe" "$folder/"

sums=""
for f in "${files[@]}"; do
    [ "$f" = README.txt ] || sums+="    $(cd "$folder" && sha256sum -- "$f")"$'\n'
done
text="$(cat packaging/windows/README.txt.in)"
text="${text//@VERSION@/$version}"
text="${text//@HEX@/$(printf '%-20s' "$hex")}"
text="${text//@SUMS@/${sums%$'\n'}}"
text="${text//@COMMIT@/$commit}"
text="${text//@DATE@/$date}"
printf '%s\n' "$text" | sed 's/$/\r/' >"$folder/README.txt"

chmod 644 "$folder"/*
touch -d "@$SOURCE_DATE_EPOCH" "$folder"/*
rm -f "$out/$name.zip"
(cd "$stage" && zip -X -D -9 -q "$out/$name.zip" "${files[@]/#/$name/}")
