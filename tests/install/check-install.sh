#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a desktop needs of it.
# Usage: check-install.sh BUILD_DIR
#        check-install.sh --installed PREFIX   checks a tree installed already (an unpacked package)
set -euo pipefail
if [[ "$1" == --installed ]]; then
  prefix=$2
else
  build=$1
  prefix=$(mktemp -d)
  trap 'rm -rf "$prefix"' EXIT
  cmake --install "$build" --prefix "$prefix" >/dev/null
fi

fail() { echo "FAIL: $*" >&2; exit 1; }
for f in bin/ziffa share/applications/ziffa.desktop share/icons/hicolor/scalable/apps/ziffa.svg \
         share/metainfo/ziffa.metainfo.xml share/man/man1/ziffa.1; do
  [[ -s "$prefix/$f" ]] || fail "$f is missing"
done
[[ -x "$prefix/bin/ziffa" ]] || fail "bin/ziffa is not executable"

desktop=$prefix/share/applications/ziffa.desktop
grep -qx 'Name=Ziffa' "$desktop" || fail "Name"
grep -qx 'GenericName=Kalkulator' "$desktop" || fail "GenericName"
grep -qx 'Categories=Utility;Calculator;' "$desktop" || fail "Categories"
grep -qx 'Name=Ziffa z wykresami' "$desktop" || fail "the chart action"
grep -qx 'Exec=ziffa --chart' "$desktop" || fail "the chart action's command"
grep -q '<svg' "$prefix/share/icons/hicolor/scalable/apps/ziffa.svg" || fail "the icon is no SVG"
# The page's source writes each "-" of an option as "\-".
for option in chart eval plot var "EXIT STATUS" "ziffa.ini"; do
  grep -qiF -- "$option" "$prefix/share/man/man1/ziffa.1" || fail "the man page does not mention $option"
done

if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$desktop" || fail "desktop-file-validate"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$prefix/share/metainfo/ziffa.metainfo.xml" >/dev/null \
    || fail "appstreamcli validate"
fi
if command -v man >/dev/null; then
  MANWIDTH=80 man -l "$prefix/share/man/man1/ziffa.1" >/dev/null 2>&1 || fail "man cannot read the page"
fi
"$prefix/bin/ziffa" --eval "2+2" | grep -qx 4 || fail "the installed program does not calculate"
echo "install: all files in place"
