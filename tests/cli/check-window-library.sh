#!/usr/bin/env bash
# The executable and its window library: the modes without a window load no Qt, a missing library
# is reported clearly, and the windowed program names its settings file after the executable
# that runs, wherever it stands.
# Usage: check-window-library.sh ZIFFA LIBRARY
set -euo pipefail
ziffa=$1
library=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# No Qt: neither among the executable's needed libraries nor among those loaded at run time.
if readelf -d "$ziffa" | grep -i 'NEEDED.*Qt'; then fail "the executable links Qt"; fi
for args in "--eval 2*pi" "--help" "--frobnicate"; do
  # shellcheck disable=SC2086
  LD_DEBUG=libs "$ziffa" $args >/dev/null 2>"$tmp/loaded" || true
  grep -q 'calling init' "$tmp/loaded" || fail "LD_DEBUG shows nothing for $args"
  if grep -i 'libQt\|libX11\|libGL' "$tmp/loaded"; then fail "$args loads Qt or X11"; fi
done
readelf -d "$library" | grep -q 'NEEDED.*libQt6Widgets' || fail "the library doesn't link Qt Widgets"
readelf -d "$library" | grep -q SONAME && fail "the private library has a SONAME"
exported=$(nm -D --defined-only "$library" | awk '$2 == "T" { print $3 }')
[[ "$exported" == ziffa_window_main ]] || fail "the library exports more than its entry: $exported"

# An executable without its library: the modes without a window work, the others say why not.
mkdir -p "$tmp/alone"
cp "$ziffa" "$tmp/alone/ziffa"
[[ "$("$tmp/alone/ziffa" --eval 1+1)" == 2 ]] || fail "--eval needs the library"
for args in "" "1+1" "--plot x --output $tmp/x.png"; do
  status=0
  # shellcheck disable=SC2086
  "$tmp/alone/ziffa" $args >"$tmp/out" 2>"$tmp/err" || status=$?
  [[ $status -eq 72 ]] || fail "status $status without the library for '$args'"
  grep -q "^ziffa: brak biblioteki okien; okna i obrazy potrzebują pliku \"" "$tmp/err" || fail "no clear message: $(cat "$tmp/err")"
  [[ ! -s "$tmp/out" ]] || fail "standard output without the library"
done

# A renamed copy with its library beside it, as in a build tree: the settings file it reads at
# start is named after the copy. ("exit" closes the calculator as it is first shown, before the
# settings are read whole, so nothing is saved; the read is seen with strace.)
mkdir -p "$tmp/copy"
cp "$ziffa" "$tmp/copy/kalkulator"
cp "$library" "$tmp/copy/"
if strace -o /dev/null true 2>/dev/null; then
  (cd / && env -u ZIFFA_SETTINGS QT_QPA_PLATFORM=offscreen \
     strace -f -e trace=openat -o "$tmp/opened" "$tmp/copy/kalkulator" exit) \
    || fail "the windowed program of the copy failed"
  grep -q "\"$tmp/copy/kalkulator.ini\"" "$tmp/opened" \
    || fail "the copy didn't read kalkulator.ini: $(grep '\.ini' "$tmp/opened")"
  if grep -q 'ziffa\.ini' "$tmp/opened"; then fail "the copy looked for a ziffa.ini"; fi
else
  echo "SKIP: strace can't trace here; the settings file's name is not checked"
fi
# A picture from the copy, without a display.
env -u DISPLAY "$tmp/copy/kalkulator" --plot "x*y" --output "$tmp/copy/p.png" --size 40x30 \
  || fail "--plot failed"
[[ "$(head -c 8 "$tmp/copy/p.png" | od -An -tx1 | tr -d ' \n')" == 89504e470d0a1a0a ]] \
  || fail "--plot wrote no PNG"
echo "window library: all checks passed"
