#!/usr/bin/env bash
# Builds the packages of the current commit twice, from two clones in folders
# of different names, one after the other, with `make package` (which takes
# SOURCE_DATE_EPOCH from the commit), and compares the .deb and the .zip byte
# for byte. Tests and benchmarks are left out of these builds; the kit is
# built beforehand from the source tree's npm packages, so that make finds it
# up to date and nothing is downloaded.
#
#   reproducible_test.sh SOURCE_DIR
# Exits 77 (skipped) when SOURCE_DIR is not a git checkout.
set -euo pipefail

source=$1
commit=$(git -C "$source" rev-parse --verify -q HEAD) || { echo "not a git checkout: skipped"; exit 77; }
scratch=$(mktemp -d "${TMPDIR:-/tmp}/plotweave-repro-XXXXXX")
other=$scratch
trap 'rm -rf "$scratch" "$other"' EXIT
# The second build goes to another kind of file system when one has room (a
# gigabyte): tmpfs lists folders in another order, and gives them other
# sizes, than ext4 does.
if [ -d /dev/shm ] && [ -w /dev/shm ] &&
   [ "$(stat -f -c %T /dev/shm)" != "$(stat -f -c %T "$scratch")" ] &&
   [ "$(( $(stat -f -c '%a * %S' /dev/shm) ))" -gt $((1024 * 1024 * 1024)) ]; then
  other=$(mktemp -d /dev/shm/plotweave-repro-XXXXXX)
fi

build_once() {
  local clone=$1
  git clone -q --no-checkout "$source" "$clone"
  git -C "$clone" checkout -q "$commit"
  if [ -d "$source/web/node_modules" ]; then
    ln -s "$source/web/node_modules" "$clone/web/node_modules"
    (cd "$clone/web" && node build.mjs) >"$clone.kit.log" 2>&1 ||
      { cat "$clone.kit.log" >&2; echo "FAIL: kit build in $clone" >&2; exit 1; }
  fi
  make -C "$clone" package JOBS=2 \
    CMAKE_FLAGS="-DPLOTWEAVE_TESTS=OFF -DPLOTWEAVE_BENCH=OFF" \
    WINDOWS_CMAKE_FLAGS="-DPLOTWEAVE_TESTS=OFF" >"$clone.log" 2>&1 ||
    { tail -40 "$clone.log" >&2; echo "FAIL: make package in $clone" >&2; exit 1; }
}

build_once "$scratch/first/plotweave"
sleep 2
build_once "$other/the-second-clone/plotweave"
echo "built in $scratch/first and $other/the-second-clone"

failures=0
for pattern in "build/*.deb" "build-windows/*.zip"; do
  # shellcheck disable=SC2086
  one=$(ls $scratch/first/plotweave/$pattern)
  two=$(ls $other/the-second-clone/plotweave/$pattern)
  if cmp -s "$one" "$two"; then
    echo "identical: $(basename "$one") ($(sha256sum <"$one" | cut -c1-16))"
  else
    echo "FAIL: $(basename "$one") differs between the two builds" >&2
    case $one in
      *.deb) diff <(dpkg-deb -c "$one") <(dpkg-deb -c "$two") >&2 || true ;;
      *.zip) diff <(unzip -lv "$one") <(unzip -lv "$two") >&2 || true ;;
    esac
    failures=$((failures + 1))
  fi
done
[ "$failures" -eq 0 ]
