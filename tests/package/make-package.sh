#!/usr/bin/env bash
# Builds the Debian packages (source and binary) from a clean copy of the source tree: the files
# that git tracks, as they stand in the working tree (whatever else lies there, such as a tool's
# cache, is left out), or without git everything but the build folders and Python's caches. No
# tests run inside (DEB_BUILD_OPTIONS=nocheck), so this is one build of the program. The results
# stay in WORK_DIR for the other package tests.
# Usage: make-package.sh SOURCE_DIR WORK_DIR
set -euo pipefail
src=$(cd "$1" && pwd)
work=$2

fail() { echo "FAIL: $*" >&2; exit 1; }
for tool in dpkg-buildpackage dpkg-parsechangelog dh lintian; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/install-deps.sh installs it)"
done

rm -rf "$work"
mkdir -p "$work"
version=$(dpkg-parsechangelog -l "$src/debian/changelog" -S Version)
copy=$work/ziffa-$version
mkdir "$copy"

if git -C "$src" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  # Files deleted in the working tree but still in the index are left out.
  git -C "$src" ls-files -z --cached |
    (cd "$src" && while IFS= read -r -d '' f; do
       if [[ -e "$f" || -L "$f" ]]; then printf '%s\0' "$f"; fi
     done) |
    tar -C "$src" --null --no-recursion -T - -cf - | tar -C "$copy" -xf -
else
  tar -C "$src" --exclude=./.git --exclude=./build --exclude='./build-*' \
    --exclude=__pycache__ --exclude='*.py[co]' -cf - . |
    tar -C "$copy" -xf -
fi

# What the source package must hold: the whole copy, but for the version control files that
# dpkg-source always leaves out.
(cd "$copy" && find . \( -type f -o -type l \) ! -name '.git*' | sed 's|^\./||' | LC_ALL=C sort) \
  >"$work/source-files.txt"

log=$work/build.log
echo "Building the package in $copy (log: $log)"
if ! (cd "$copy" &&
      env -u MAKEFLAGS -u MFLAGS -u MAKELEVEL -u DESTDIR \
        DEB_BUILD_OPTIONS="nocheck parallel=$(nproc)" \
        dpkg-buildpackage -us -uc -Pnocheck) >"$log" 2>&1; then
  tail -n 60 "$log" >&2
  fail "dpkg-buildpackage failed"
fi
# The build folder is large and no longer needed; the packages lie beside the copy.
rm -rf "$copy/build-deb" "$copy/debian/ziffa" "$copy/debian/ziffa-dbgsym" "$copy/debian/.debhelper"
ls -l "$work"
