#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a desktop needs of it.
# Usage: check-install.sh BUILD_DIR
#        check-install.sh --installed PREFIX   checks a tree installed already (an unpacked package)
set -euo pipefail
if [[ "$1" == --installed ]]; then
  prefix=$2
else
  build=$1
  # Not under /tmp, which everyone may write: no library is loaded from there.
  prefix=$(mktemp -d -p "$(cd "$build" && pwd)" install.XXXXXX)
  trap 'rm -rf "$prefix"' EXIT
  cmake --install "$build" --prefix "$prefix" >/dev/null
fi

fail() { echo "FAIL: $*" >&2; exit 1; }
for f in bin/ziffa share/applications/ziffa.desktop share/icons/hicolor/scalable/apps/ziffa.svg \
         share/metainfo/org.ziffa.Ziffa.metainfo.xml share/man/man1/ziffa.1; do
  [[ -s "$prefix/$f" ]] || fail "$f is missing"
done
[[ -x "$prefix/bin/ziffa" ]] || fail "bin/ziffa is not executable"
# The windows and pictures: a private library among the libraries (lib/ziffa/, or
# lib/<multiarch>/ziffa/ where the build was configured so), which the executable finds by itself.
libraries=("$prefix"/lib*/ziffa/libziffa-gui.so "$prefix"/lib/*/ziffa/libziffa-gui.so)
existing=()
for l in "${libraries[@]}"; do [[ -f "$l" ]] && existing+=("$l"); done
[[ ${#existing[@]} -eq 1 ]] || fail "expected one window library, found: ${existing[*]:-none}"
[[ ! -e "$prefix/bin/libziffa-gui.so" ]] || fail "the library lies beside the executable"

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
# The installed tree as a software centre reads it (and lintian judges it): the AppStream file
# and its name, which must be the component's id.
if command -v appstreamcli >/dev/null; then
  appstreamcli validate-tree --no-net "$prefix" >/dev/null || {
    appstreamcli validate-tree --no-net "$prefix" >&2 || true
    fail "appstreamcli validate-tree"
  }
fi
if command -v man >/dev/null; then
  MANWIDTH=80 man -l "$prefix/share/man/man1/ziffa.1" >/dev/null 2>&1 || fail "man cannot read the page"
fi
"$prefix/bin/ziffa" --eval "2+2" | grep -qx 4 || fail "the installed program does not calculate"
# The installed picture mode proves that the installed executable finds its library.
(cd / && env -u DISPLAY "$prefix/bin/ziffa" --plot "x*y" --output "$prefix/plot.png" --size 60x40) \
  || fail "the installed program draws no picture"
[[ "$(head -c 8 "$prefix/plot.png" | od -An -tx1 | tr -d ' \n')" == 89504e470d0a1a0a ]] \
  || fail "the installed program's picture is no PNG"
echo "install: all files in place"
