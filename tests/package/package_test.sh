#!/usr/bin/env bash
# Builds the package of a build directory (a Debian package for Linux, a zip
# for Windows), unpacks it into a scratch root as an installation would, and
# checks what landed: the programs, the manual page (formatted by man without a
# warning), the examples and the laboratory-server kit, and that the installed
# programs write the same pages and console text as the build tree's programs.
#
#   package_test.sh BUILD_DIR SOURCE_DIR DEB|ZIP [RUNNER]
# RUNNER runs a program of the build (the Wine wrapper for Windows).
set -euo pipefail

build=$1 source=$2 generator=$3 runner=${4:-}
scratch=$(mktemp -d "${TMPDIR:-/tmp}/plotweave-package-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

cpack --config "$build/CPackConfig.cmake" -G "$generator" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log" >&2; echo "FAIL: cpack" >&2; exit 1; }

mkdir "$scratch/root"
case $generator in
  DEB)
    package=$(ls "$scratch"/out/*.deb)
    dpkg-deb -x "$package" "$scratch/root"
    [ "$(dpkg-deb -f "$package" Package)" = plotweave ] || fail "package name"
    dpkg-deb -f "$package" Depends | grep -q libc6 || fail "no dependency on the C library"
    prefix=$scratch/root/usr
    exe=
    manpage=$prefix/share/man/man1/plotweave.1.gz
    checkpage=$prefix/share/man/man1/plotweave-check.1.gz
    [ -e "$prefix/share/man/man1/plotweave_self.1.gz" ] || fail "no manual page for plotweave_self"
    ;;
  ZIP)
    package=$(ls "$scratch"/out/*.zip)
    (cd "$scratch/root" && cmake -E tar xf "$package")
    prefix=$(echo "$scratch"/root/plotweave-*)
    exe=.exe
    manpage=$prefix/share/man/man1/plotweave.1
    checkpage=$prefix/share/man/man1/plotweave-check.1
    ;;
  *) echo "unknown generator $generator" >&2; exit 2 ;;
esac
echo "package: $(basename "$package")"

for program in plotweave plotweave_self plotweave-check; do
  [ -x "$prefix/bin/$program$exe" ] || fail "bin/$program$exe missing"
done

# The manual page: present, formatted without a warning, with its sections.
if [ -f "$manpage" ]; then
  warnings=$(MANWIDTH=80 man --warnings -l "$manpage" 2>&1 >/dev/null || true)
  [ -z "$warnings" ] || fail "man reports: $warnings"
  text=$(MANWIDTH=80 man -l "$manpage" 2>/dev/null)
  for section in NAME SYNOPSIS DESCRIPTION "THE TWO BUILDS" "PLAN FORMAT" MESSAGES "EXIT STATUS" EXAMPLES; do
    grep -qx "$section" <<<"$text" || fail "manual page has no $section section"
  done
else
  fail "manual page missing: $manpage"
fi

# The checker's manual page, and the checker on the installed examples: no
# finding, status 0.
if [ -f "$checkpage" ]; then
  warnings=$(MANWIDTH=80 man --warnings -l "$checkpage" 2>&1 >/dev/null || true)
  [ -z "$warnings" ] || fail "man reports on plotweave-check.1: $warnings"
  text=$(MANWIDTH=80 man -l "$checkpage" 2>/dev/null)
  for section in NAME SYNOPSIS OPTIONS FINDINGS "EXIT STATUS"; do
    grep -qx "$section" <<<"$text" || fail "plotweave-check manual page has no $section section"
  done
else
  fail "manual page missing: $checkpage"
fi
found=$(cd "$prefix/share/plotweave/examples" && $runner "$prefix/bin/plotweave-check$exe" *.lst) ||
  fail "plotweave-check on the installed examples: status $?"
[ -z "$found" ] || fail "plotweave-check finds in the examples: $found"

# Examples and, when it has been built, the laboratory-server kit.
for plan in "$source"/examples/*.lst "$source"/examples/img/*; do
  rel=${plan#"$source"/examples/}
  cmp -s "$plan" "$prefix/share/plotweave/examples/$rel" || fail "example $rel not installed"
done
if [ -d "$source/web/site" ]; then
  diff -r "$source/web/site" "$prefix/share/plotweave/web/site" >/dev/null || fail "kit differs from web/site"
fi

# The installed programs against the build tree's, on every example plan.
for program in plotweave plotweave_self; do
  for plan in "$source"/examples/*.lst; do
    name=$(basename "$plan")
    for side in installed tree; do
      mkdir -p "$scratch/run-$side-$program"
      cp "$plan" "$scratch/run-$side-$program/$name"
    done
    (cd "$scratch/run-installed-$program" && $runner "$prefix/bin/$program$exe" "$name") >"$scratch/installed.txt"
    (cd "$scratch/run-tree-$program" && $runner "$build/app/$program$exe" "$name") >"$scratch/tree.txt"
    grep -q "has been Created" "$scratch/installed.txt" || fail "$program $name: no page: $(cat "$scratch/installed.txt")"
    cmp -s "$scratch/installed.txt" "$scratch/tree.txt" || fail "$program $name: console text differs"
  done
  diff -r "$scratch/run-installed-$program" "$scratch/run-tree-$program" >/dev/null ||
    fail "$program: installed and build-tree pages differ"
  ls "$scratch/run-installed-$program" | grep -q 'htm$' || fail "$program: no page written"
done

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "package checks passed"
