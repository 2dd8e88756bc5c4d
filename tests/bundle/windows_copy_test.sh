#!/usr/bin/env bash
# The Windows plotweave-bundle, run under Wine, against the Linux one on the
# example page, in a folder with a blank and Hangul in its name:
#   - on the same page the two copies are the same bytes;
#   - on each build's own page (CR LF from Windows) the copies differ in line
#     ends only;
#   - an image behind a link out of the page's folder is not taken in;
#   - a page that is not one is refused with the same status and message.
#
#   windows_copy_test.sh RUNNER WINDOWS_BUILD LINUX_BUILD EXAMPLES KIT
# Exits 77 (skipped) when the Linux build or the kit is missing.
set -euo pipefail

runner=$1 windows=$2 linux=$3 examples=$4 kit=$5
for program in "$linux/app/plotweave_self" "$linux/bundle/plotweave-bundle"; do
  if [ ! -x "$program" ]; then
    echo "skipped: no Linux build in $linux to compare with (make build)"
    exit 77
  fi
done
if [ ! -f "$kit/jsapi" ]; then
  echo "skipped: the kit is not built in $kit (npm ci && npm run build in web/)"
  exit 77
fi

scratch=$(mktemp -d "${TMPDIR:-/tmp}/plotweave-bundle-wine-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

page="한글 페이지_self.htm"
for side in linux windows; do
  mkdir -p "$scratch/$side/빈 칸 폴더"
  cp -r "$examples/." "$scratch/$side/빈 칸 폴더/"
done
(cd "$scratch/linux/빈 칸 폴더" && cp ontology.lst "한글 페이지.lst" && "$linux/app/plotweave_self" "한글 페이지.lst" >/dev/null)
(cd "$scratch/windows/빈 칸 폴더" && cp ontology.lst "한글 페이지.lst" && $runner "$windows/app/plotweave_self.exe" "한글 페이지.lst" >/dev/null)
linux_page="$scratch/linux/빈 칸 폴더/$page"
windows_page="$scratch/windows/빈 칸 폴더/$page"
grep -q $'\r$' "$windows_page" || fail "the Windows page has no CR LF line ends"

# Both bundlers on the Linux page, each writing its own copy beside it.
(cd "$scratch/linux/빈 칸 폴더" && "$linux/bundle/plotweave-bundle" --kit "$kit" "$page" -o "linux copy.htm") 2>/dev/null ||
  fail "Linux plotweave-bundle failed"
(cd "$scratch/linux/빈 칸 폴더" && $runner "$windows/bundle/plotweave-bundle.exe" --kit "$kit" "$page" -o "윈도 사본.htm") \
  2>"$scratch/windows.err" || fail "Windows plotweave-bundle failed: $(cat "$scratch/windows.err")"
cmp "$scratch/linux/빈 칸 폴더/linux copy.htm" "$scratch/linux/빈 칸 폴더/윈도 사본.htm" ||
  fail "the Windows copy of the Linux page differs from the Linux copy"
# Each example image is in the copy once, where it is used once or in the
# table of images that several uses share.
for image in "$examples"/img/*.png; do
  uses=$(grep -o -F "$(base64 -w0 "$image")" "$scratch/linux/빈 칸 폴더/윈도 사본.htm" | wc -l)
  [ "$uses" -eq 1 ] || fail "$(basename "$image") is in the copy $uses times, not once"
done

# The Windows program on the Windows page, its kit named by PLOTWEAVE_KIT.
(cd "$scratch/windows/빈 칸 폴더" && PLOTWEAVE_KIT="$kit" $runner "$windows/bundle/plotweave-bundle.exe" "$page") \
  2>/dev/null || fail "Windows plotweave-bundle failed on the Windows page"
windows_copy="$scratch/windows/빈 칸 폴더/한글 페이지_self.standalone.htm"
cmp <(sed 's/\r$//' "$windows_copy") <(sed 's/\r$//' "$scratch/linux/빈 칸 폴더/linux copy.htm") ||
  fail "the copies of the two builds' pages differ in more than line ends"

# An image that is a link out of the page's folder: the Windows program checks
# where the opened file really is and leaves the address as it was.
printf 'GIF89a outside' >"$scratch/secret.gif"
mkdir -p "$scratch/linked/img"
cp "$linux_page" "$scratch/linked/p.htm"
cp "$examples/img/heunginjimun.png" "$examples/img/sukjeongmun.png" "$scratch/linked/img/"
ln -s ../../secret.gif "$scratch/linked/img/sungnyemun.png"
(cd "$scratch/linked" && $runner "$windows/bundle/plotweave-bundle.exe" --kit "$kit" p.htm) 2>"$scratch/linked.err" ||
  fail "Windows plotweave-bundle failed beside a link: $(cat "$scratch/linked.err")"
grep -q "R0lGODlhIG91dHNpZGU" "$scratch/linked/p.standalone.htm" && fail "the file behind a link out was taken in"
grep -q "outside the page's folder; --allow-outside takes it in): img/sungnyemun.png" "$scratch/linked.err" ||
  fail "the link out was not named: $(cat "$scratch/linked.err")"

# A page that is not one.
printf '<html>\r\n</html>\r\n' >"$scratch/windows/other.htm"
status=0
(cd "$scratch/windows" && $runner "$windows/bundle/plotweave-bundle.exe" --kit "$kit" other.htm) 2>"$scratch/refused.err" ||
  status=$?
[ "$status" -eq 4 ] || fail "not a page: status $status, not 4"
grep -q "other.htm: not a Plotweave page: no loader script line" "$scratch/refused.err" ||
  fail "not a page: message $(cat "$scratch/refused.err")"
[ ! -e "$scratch/windows/other.standalone.htm" ] || fail "a copy of a refused page was written"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "Windows and Linux copies agree"
