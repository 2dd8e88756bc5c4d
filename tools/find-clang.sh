#!/usr/bin/env bash
# Prints the newest clang++ on PATH (clang++ itself or any clang++-N), by the
# major version each reports; prints nothing and fails when there is none.
#   tools/find-clang.sh
set -uo pipefail

best=
best_major=-1
IFS=: read -ra dirs <<<"${PATH:-}"
for dir in "${dirs[@]}"; do
  for candidate in "${dir:-.}"/clang++ "${dir:-.}"/clang++-[0-9]*; do
    [ -x "$candidate" ] || continue
    [[ ${candidate##*/} =~ ^clang\+\+(-[0-9]+)?$ ]] || continue
    major=$("$candidate" -dumpversion 2>/dev/null | cut -d. -f1)
    [[ $major =~ ^[0-9]+$ ]] || continue
    if [ "$major" -gt "$best_major" ]; then
      best=$candidate
      best_major=$major
    fi
  done
done
[ -n "$best" ] || exit 1
echo "$best"
