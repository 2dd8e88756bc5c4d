#!/usr/bin/env bash
# Installs what the Windows build, its tests and the packaging test need when it
# is missing: the 64-bit MinGW-w64 cross compiler, Wine to run the programs, the
# GoogleTest sources that the Windows test programs are built from, man-db for
# the manual-page check and dpkg for the package test. Needs root or sudo for
# apt-get; does nothing when everything is present.
set -euo pipefail

need=()
command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1 || need+=(g++-mingw-w64-x86-64-posix)
[ -x /usr/lib/wine/wine64 ] || need+=(wine64)
command -v wine >/dev/null 2>&1 || need+=(wine)
command -v man >/dev/null 2>&1 || need+=(man-db)
[ -f /usr/src/googletest/CMakeLists.txt ] || need+=(googletest)
command -v dpkg-deb >/dev/null 2>&1 || need+=(dpkg)

if [ ${#need[@]} -eq 0 ]; then
  exit 0
fi

"$(dirname "${BASH_SOURCE[0]}")/apt-install-missing.sh" "${need[@]}"
