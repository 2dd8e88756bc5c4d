#!/usr/bin/env bash
# Puts cpp-httplib's single header and its licence into DEST/httplib/ (default
# .third/ in the source tree), for plotweave-preview's HTTP server. They come
# from Debian's source package, with Debian's patches applied (a security fix
# among them): the binary package ships a split header and a shared library,
# which the Windows build cannot use. The source package's tarball and the
# patched header are checked against the checksums below, so every machine
# builds with the same bytes. Needs root only when the system lacks a
# deb-src entry (one is added) or the source package must be fetched.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
dest="${1:-$root/.third}/httplib"
version=0.11.4+ds-1+deb12u1
tarball=cpp-httplib_0.11.4+ds.orig.tar.xz
tarball_sha256=8b1a5df569003b6a4f24c68489bbda5c64aec94697bdc9ebba5d79408b2ae7eb
header_sha256=2bcaaeb62b3fee7beed69aa51e14f811f4d0bac3a0c1d6f0f095b02655d80a4e
patches=cpp-httplib_${version}.debian.tar.xz

if [ -f "$dest/httplib.h" ] && echo "$header_sha256  $dest/httplib.h" | sha256sum --check --status; then
  exit 0
fi

# apt-get source needs a deb-src entry; Debian's images come without one.
has_sources() {
  grep -rqsE '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/ 2>/dev/null
}
if ! has_sources; then
  cat > /etc/apt/sources.list.d/plotweave-debsrc.sources <<'SOURCES'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
  apt-get update -qq
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
if ! (cd "$work" && apt-get source --download-only -qq "cpp-httplib=$version" >/dev/null 2>&1); then
  apt-get update -qq
  (cd "$work" && apt-get source --download-only -qq "cpp-httplib=$version" >/dev/null)
fi
echo "$tarball_sha256  $work/$tarball" | sha256sum --check --status ||
  { echo "fetch-httplib.sh: $tarball is not the one expected" >&2; exit 1; }
mkdir "$work/src"
tar -xJf "$work/$tarball" -C "$work/src" --strip-components=1
tar -xJf "$work/$patches" -C "$work/src" debian/patches
if [ -f "$work/src/debian/patches/series" ]; then
  grep -v '^#' "$work/src/debian/patches/series" | while read -r name; do
    [ -n "$name" ] && (cd "$work/src" && patch -p1 -s < "debian/patches/$name")
  done
fi
header="$work/src/httplib.h"
echo "$header_sha256  $header" | sha256sum --check --status ||
  { echo "fetch-httplib.sh: httplib.h is not the one expected" >&2; exit 1; }
mkdir -p "$dest"
cp "$header" "$dest/httplib.h"
cp "$work/src/LICENSE" "$dest/LICENSE"
echo "cpp-httplib $version: $dest/httplib.h"
