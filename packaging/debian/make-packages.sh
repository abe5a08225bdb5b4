#!/usr/bin/env bash
# make-packages.sh BUILD_DIR OUT_DIR VERSION COMMIT: the Debian packages keystrand-update and
# keystrand-sim from BUILD_DIR (a linux-release build with both programs and their manual pages),
# into OUT_DIR. Run by scripts/release, from the repository's root, with SOURCE_DATE_EPOCH set.
#
# The steps are debhelper's for such a package: the files installed by CMake (one component per
# package), stripped and compressed; the copyright and a changelog; dpkg-shlibdeps for the
# libraries; dpkg-gencontrol for the control file from debian/control; md5sums; every time set
# to SOURCE_DATE_EPOCH; dpkg-deb with root as the files' owner. The work folder is
# build/release-deb/, laid out as a Debian source tree (debian/control, debian/PACKAGE/...).
set -euo pipefail
build="$1"
out="$2"
version="$3"
commit="$4"
: "${SOURCE_DATE_EPOCH:?make-packages.sh needs SOURCE_DATE_EPOCH}"
umask 022
export LC_ALL=C.UTF-8

work="$PWD/build/release-deb"
rm -rf "$work"
mkdir -p "$work/debian"
cp packaging/debian/control packaging/debian/copyright "$work/debian/"
maintainer="$(sed -n 's/^Maintainer: //p' packaging/debian/control)"
{
    echo "keystrand-update ($version) unstable; urgency=medium"
    echo
    echo "  * Release $version, built from commit"
    echo "    $commit."
    echo
    echo " -- $maintainer  $(date -R -u -d "@$SOURCE_DATE_EPOCH")"
} >"$work/debian/changelog"

mapfile -t packages < <(sed -n 's/^Package: //p' packaging/debian/control)
for package in "${packages[@]}"; do
    dir="$work/debian/$package"
    DESTDIR="$dir" cmake --install "$build" --component "$package"
    strip --remove-section=.comment --remove-section=.note --strip-unneeded "$dir"/usr/bin/*
    find "$dir/usr/lib" -name '*.so' -exec strip --remove-section=.comment --remove-section=.note \
        --strip-unneeded {} + 2>/dev/null || true
    gzip -9n "$dir"/usr/share/man/man1/*.1
    install -d "$dir/usr/share/doc/$package"
    install -m 644 packaging/debian/copyright "$dir/usr/share/doc/$package/copyright"
    gzip -9n <"$work/debian/changelog" >"$dir/usr/share/doc/$package/changelog.gz"
    find "$dir" -type d -exec chmod 755 {} +
    find "$dir" -type f ! -path "$dir/usr/bin/*" -exec chmod 644 {} +
    # The 32-bit modem-line library is loaded only into 32-bit programs (32-bit Wine), which bring
    # the 32-bit C library themselves: it adds no dependency of its own.
    mapfile -t linked < <(find "$dir/usr/bin" "$dir/usr/lib" -type f \( -path '*/bin/*' -o -name '*.so' \) \
        ! -path '*/i386-linux-gnu/*' 2>/dev/null | sed "s|^$work/||" | sort)
    (cd "$work" && dpkg-shlibdeps -T"debian/$package.substvars" "${linked[@]}")
    if [ -f "packaging/debian/$package.lintian-overrides" ]; then
        install -D -m 644 "packaging/debian/$package.lintian-overrides" \
            "$dir/usr/share/lintian/overrides/$package"
    fi
    mkdir -p "$dir/DEBIAN"
    (cd "$dir" && find . -type f ! -path './DEBIAN/*' -printf '%P\0' | sort -z |
        xargs -0 md5sum >DEBIAN/md5sums)
    (cd "$work" && dpkg-gencontrol -p"$package" -P"debian/$package" \
        -T"debian/$package.substvars" -Vmisc:Depends=)
    chmod 644 "$dir/DEBIAN/md5sums" "$dir/DEBIAN/control"
    find "$dir" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
    dpkg-deb --root-owner-group -Zxz --build "$dir" "$out"
done
