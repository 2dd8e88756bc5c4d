#!/usr/bin/env bash
# Builds the package of a build directory (a Debian package for Linux, a zip
# for Windows), unpacks it into a scratch root as an installation would, and
# checks what landed: the programs, a manual page for each (formatted by man
# without a warning), the licence files, the examples and the laboratory-server
# kit, that everything carries the version of project(VERSION), and that the
# installed programs write the same pages and console text as the build tree's
# programs.
#
#   package_test.sh BUILD_DIR SOURCE_DIR DEB|ZIP [RUNNER]
# RUNNER runs a program of the build (the Wine wrapper for Windows).
set -euo pipefail

build=$1 source=$2 generator=$3 runner=${4:-}
scratch=$(mktemp -d "${TMPDIR:-/tmp}/plotweave-package-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
# check_manpage FILE SECTION...: present, formatted without a warning, with
# those sections.
check_manpage() {
  local page=$1
  shift
  if [ ! -f "$page" ]; then
    fail "manual page missing: $page"
    return
  fi
  local warnings text section
  warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null || true)
  [ -z "$warnings" ] || fail "man reports on $(basename "$page"): $warnings"
  text=$(MANWIDTH=80 man -l "$page" 2>/dev/null)
  for section in "$@"; do
    grep -qx "$section" <<<"$text" || fail "$(basename "$page") has no $section section"
  done
}

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
    bundle_manpage=$prefix/share/man/man1/plotweave-bundle.1.gz
    checkpage=$prefix/share/man/man1/plotweave-check.1.gz
    exportpage=$prefix/share/man/man1/plotweave-export.1.gz
    importpage=$prefix/share/man/man1/plotweave-import.1.gz
    [ -e "$prefix/share/man/man1/plotweave_self.1.gz" ] || fail "no manual page for plotweave_self"
    ;;
  ZIP)
    package=$(ls "$scratch"/out/*.zip)
    (cd "$scratch/root" && cmake -E tar xf "$package")
    prefix=$(echo "$scratch"/root/plotweave-*)
    exe=.exe
    manpage=$prefix/share/man/man1/plotweave.1
    bundle_manpage=$prefix/share/man/man1/plotweave-bundle.1
    checkpage=$prefix/share/man/man1/plotweave-check.1
    exportpage=$prefix/share/man/man1/plotweave-export.1
    importpage=$prefix/share/man/man1/plotweave-import.1
    ;;
  *) echo "unknown generator $generator" >&2; exit 2 ;;
esac
echo "package: $(basename "$package")"

# One version: project(VERSION) in CMakeLists.txt.
version=$(sed -n 's/^project([A-Za-z]* VERSION \([0-9.]*\).*/\1/p' "$source/CMakeLists.txt")
[ -n "$version" ] || fail "no project(... VERSION ...) in CMakeLists.txt"
case $generator in
  DEB)
    [ "$(dpkg-deb -f "$package" Version)" = "$version" ] || fail "package version is not $version"
    maintainer=$(dpkg-deb -f "$package" Maintainer)
    grep -Eq '^[^<>]+ <[^@<>]+@[a-z0-9.-]+\.[a-z]+>$' <<<"$maintainer" && [[ $maintainer != *localhost* ]] ||
      fail "maintainer '$maintainer' is no name with a mail address"
    doc=$prefix/share/doc/plotweave
    head -1 "$doc/copyright" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
      fail "copyright file missing or not machine-readable"
    gzip -cd "$doc/changelog.gz" | sed -n 1p | grep "^plotweave ($version) " >/dev/null ||
      fail "changelog.gz missing or its newest entry is not $version"
    ;;
  ZIP)
    [ "$(basename "$prefix")" = "plotweave-$version-win64" ] || fail "zip folder is not plotweave-$version-win64"
    for file in LICENSE THIRD_PARTY.md README.txt licenses/mingw-w64.txt licenses/gcc-runtime.txt; do
      [ -s "$prefix/$file" ] || fail "$file missing from the zip"
    done
    cmp -s "$source/LICENSE" "$prefix/LICENSE" || fail "LICENSE in the zip differs from the project's"
    if [ -f "$prefix/README.txt" ]; then
      lf=$(tr -cd '\n' <"$prefix/README.txt" | wc -c)
      crlf=$(grep -c $'\r$' "$prefix/README.txt" || true)
      [ "$lf" -gt 0 ] && [ "$lf" = "$crlf" ] || fail "README.txt lines do not all end with CR LF"
      grep -q "Plotweave $version" "$prefix/README.txt" || fail "README.txt does not name version $version"
      grep -q 'plotweave_self.exe' "$prefix/README.txt" || fail "README.txt does not say how to run the programs"
      grep -q 'plotweave-bundle.exe' "$prefix/README.txt" || fail "README.txt does not say how to bundle a page"
      grep -q 'plotweave-export.exe' "$prefix/README.txt" || fail "README.txt does not say how to export a plan"
      grep -q 'plotweave-import.exe' "$prefix/README.txt" || fail "README.txt does not say how to import tables"
    fi
    ;;
esac

for program in plotweave plotweave_self plotweave-check plotweave-bundle plotweave-export plotweave-import; do
  [ -x "$prefix/bin/$program$exe" ] || fail "bin/$program$exe missing"
done

# The text of a manual page (compressed or not), following a .so redirect.
page_text() {
  local text
  text=$(gzip -cdf "$1")
  if [[ $text =~ ^\.so\ man1/([^[:space:]]+) ]]; then
    gzip -cdf "$(dirname "$1")/${BASH_REMATCH[1]}"
  else
    printf '%s\n' "$text"
  fi
}

# A manual page for every program, carrying the version.
for program in "$prefix"/bin/*; do
  name=$(basename "$program" "$exe")
  page=$(ls "$prefix/share/man/man1/$name.1"* 2>/dev/null | head -1 || true)
  if [ -z "$page" ]; then
    fail "no manual page for $name"
  elif ! page_text "$page" | grep "^\.TH .*\"Plotweave $version\"" >/dev/null; then
    fail "manual page of $name does not name Plotweave $version in its .TH line"
  fi
done

# The manual pages: present, formatted without a warning, with their sections.
check_manpage "$manpage" NAME SYNOPSIS DESCRIPTION "THE TWO BUILDS" "PLAN FORMAT" MESSAGES "EXIT STATUS" EXAMPLES
check_manpage "$bundle_manpage" NAME SYNOPSIS OPTIONS "FINDING THE KIT" "EXIT STATUS"

# The checker's manual page, and the checker on the installed examples: no
# finding, status 0.
check_manpage "$checkpage" NAME SYNOPSIS OPTIONS FINDINGS "EXIT STATUS"
found=$(cd "$prefix/share/plotweave/examples" && $runner "$prefix/bin/plotweave-check$exe" *.lst) ||
  fail "plotweave-check on the installed examples: status $?"
[ -z "$found" ] || fail "plotweave-check finds in the examples: $found"

# The exporter's manual page, and the installed exporter on an installed
# example: the same file as the build tree's.
check_manpage "$exportpage" NAME SYNOPSIS OPTIONS FORMATS "EXIT STATUS"
for side in installed tree; do
  program=$prefix/bin/plotweave-export$exe
  [ $side = tree ] && program=$build/export/plotweave-export$exe
  $runner "$program" "$prefix/share/plotweave/examples/ontology.lst" --to graphml -o "$scratch/export-$side.graphml" \
    2>/dev/null || fail "$side plotweave-export: status $?"
done
grep -q '<graphml' "$scratch/export-installed.graphml" || fail "installed plotweave-export wrote no GraphML"
cmp -s "$scratch/export-installed.graphml" "$scratch/export-tree.graphml" ||
  fail "installed and build-tree exports differ"

# The import's manual page, and the installed import on a small table: its
# plan passes the installed checker.
check_manpage "$importpage" NAME SYNOPSIS TABLES OPTIONS FINDINGS "EXIT STATUS"
mkdir "$scratch/import"
printf 'id,label,class\r\nk001,\xea\xb0\x80,Place\r\nk002,Old Town,Place\r\n' >"$scratch/import/nodes.csv"
printf 'source,target,relation\r\nk001,k002,near\r\n' >"$scratch/import/links.csv"
(cd "$scratch/import" && $runner "$prefix/bin/plotweave-import$exe" --nodes nodes.csv --links links.csv -o tables.lst) \
  >/dev/null 2>&1 || fail "installed plotweave-import: status $?"
found=$(cd "$scratch/import" && $runner "$prefix/bin/plotweave-check$exe" tables.lst) ||
  fail "plotweave-check on the imported plan: status $?"
[ -z "$found" ] || fail "plotweave-check finds in the imported plan: $found"

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

# The installed bundler finds the installed kit by itself and copies a page as
# the build tree's does with the source tree's kit; without a built kit both
# say so.
page=$(ls "$scratch/run-installed-plotweave_self"/*_self.htm | head -n 1)
mkdir "$scratch/bundle"
cp "$page" "$scratch/bundle/page.htm"
cp -r "$source/examples/img" "$scratch/bundle/img"
status=0
(cd "$scratch/bundle" && $runner "$prefix/bin/plotweave-bundle$exe" page.htm -o installed.htm) 2>"$scratch/bundle.txt" ||
  status=$?
if [ -d "$source/web/site" ]; then
  [ "$status" -eq 0 ] || fail "installed plotweave-bundle: status $status: $(cat "$scratch/bundle.txt")"
  (cd "$scratch/bundle" && $runner "$build/bundle/plotweave-bundle$exe" page.htm -o tree.htm --kit "$source/web/site") \
    2>/dev/null || fail "build-tree plotweave-bundle failed"
  cmp -s "$scratch/bundle/installed.htm" "$scratch/bundle/tree.htm" || fail "installed and build-tree copies differ"
else
  [ "$status" -eq 5 ] || fail "installed plotweave-bundle without a kit: status $status, not 5"
fi

# The preview, when the build has it: its manual page, and the installed
# program serving an installed example with the installed kit (Linux; the
# Wine tests run the Windows program).
if [ -e "$build/preview/plotweave-preview$exe" ]; then
  [ -x "$prefix/bin/plotweave-preview$exe" ] || fail "bin/plotweave-preview$exe missing"
  check_manpage "$(ls "$prefix/share/man/man1/plotweave-preview.1"* | head -n 1)" NAME SYNOPSIS OPTIONS \
    "WHAT IS SERVED" "EXIT STATUS"
  if [ "$generator" = ZIP ]; then
    grep -q 'plotweave-preview.exe' "$prefix/README.txt" || fail "README.txt does not say how to preview a plan"
    [ -f "$prefix/licenses/cpp-httplib.txt" ] || fail "licenses/cpp-httplib.txt missing"
  elif [ -d "$source/web/site" ]; then
    mkdir "$scratch/preview"
    cp "$source/examples/ontology.lst" "$scratch/preview/"
    (cd "$scratch/preview" && exec "$prefix/bin/plotweave-preview" --port 0 ontology.lst >"$scratch/preview.txt" 2>&1) &
    pid=$!
    address=
    for _ in $(seq 50); do
      address=$(grep -o 'http://127.0.0.1:[0-9]*/' "$scratch/preview.txt" || true)
      [ -n "$address" ] && break
      sleep 0.1
    done
    served=$(python3 -c 'import sys, urllib.request; print(urllib.request.urlopen(sys.argv[1] + "ontology.htm").read().decode("utf-8-sig"))' \
      "$address" 2>&1 || true)
    grep -q "nodesTable.addRow(\['g001'" <<<"$served" || fail "installed plotweave-preview serves no page: $(cat "$scratch/preview.txt")"
    kill -INT "$pid"
    wait "$pid" || fail "installed plotweave-preview: status $? after Ctrl+C"
  fi
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "package checks passed"
