#!/usr/bin/env bash
# Checks that the release is reproducible: the sources as they are in this
# work tree (tracked files and new ones that git does not ignore) are copied
# to two temporary folders of different paths, scripts/package.sh builds each
# from scratch (qel.exe and the simulated switch only), and the zips must be
# byte for byte the same. Both builds get the same SOURCE_DATE_EPOCH (the
# last commit's time, or the one set). Exits nonzero, naming what differs,
# when they are not.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
epoch="${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct)}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT TERM

# The work tree's files, without build output or anything ignored.
(cd "$root" && git ls-files -z --cached --others --exclude-standard) |
  (cd "$root" && while IFS= read -r -d '' file; do
     if [ -f "$file" ]; then printf '%s\0' "$file"; fi
   done) >"$work/files"
tar -C "$root" --null -T "$work/files" -cf "$work/sources.tar"

builds=("$work/a/qel" "$work/second-build/somewhere/else/qel-sources")
for tree in "${builds[@]}"; do
  mkdir -p "$tree"
  tar -C "$tree" -xf "$work/sources.tar"
  echo "== check-reproducible.sh: building in $tree" >&2
  if ! SOURCE_DATE_EPOCH="$epoch" bash "$tree/scripts/package.sh" >"$work/log" 2>&1; then
    cat "$work/log" >&2
    echo "check-reproducible.sh: FAILED: the build in $tree failed" >&2
    exit 1
  fi
done

status=0
first="${builds[0]}/dist"
second="${builds[1]}/dist"
names=$(cd "$first" && ls)
if [ -z "$names" ] || [ "$names" != "$(cd "$second" && ls)" ]; then
  echo "check-reproducible.sh: FAILED: the builds made different zips:" $names "/" "$(cd "$second" && ls)" >&2
  exit 1
fi
for name in $names; do
  if cmp -s "$first/$name" "$second/$name"; then
    echo "same: $name ($(sha256sum <"$first/$name" | cut -d' ' -f1))"
  else
    echo "DIFFERENT: $name" >&2
    # Which entries differ, to find what crept in.
    diff <(unzip -lv "$first/$name" | sed 1,3d) <(unzip -lv "$second/$name" | sed 1,3d) >&2 || true
    status=1
  fi
done
if [ "$status" -ne 0 ]; then
  echo "check-reproducible.sh: FAILED: the same sources built in two folders gave different zips" >&2
else
  echo "check-reproducible.sh: the zips are the same from both folders"
fi
exit "$status"
