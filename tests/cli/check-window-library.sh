#!/usr/bin/env bash
# The executable and its window library: the modes without a window load no Qt, a missing library
# is reported clearly, a library that another user could have put in its place or one cut short
# is refused, and the windowed program names its settings file after the executable that runs,
# wherever it stands.
# Usage: check-window-library.sh ZIFFA LIBRARY
set -euo pipefail
ziffa=$1
library=$2
# Copies of the program stand beside the build: under /tmp, which everyone may write, no library
# is loaded.
tmp=$(mktemp -d -p "$(cd "$(dirname "$library")" && pwd)" window-library.XXXXXX)
chmod 755 "$tmp"
xvfb=
trap '[[ -z "$xvfb" ]] || kill "$xvfb"; rm -rf "$tmp"' EXIT
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
     strace -f -e trace=openat -o "$tmp/opened" "$tmp/copy/kalkulator" exit) 2>"$tmp/copy-err" \
    || fail "the windowed program of the copy failed: $(cat "$tmp/copy-err")"
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
# A library is loaded only where no other user could have put it or changed it, and only whole.
# Each copy of the program below finds a library where it looks for one, and must refuse it:
# status 72, no picture, and a message on standard error naming the library and what is at fault.
where_it_looks() { # the installed library's place, as a copy without one names it
  { "$1" --plot x --output "$tmp/none.png" 2>&1 || true; } | sed -n 's/.*"\(.*\)"$/\1/p'
}
refused() { # COPY FAULT [COMMAND PREFIX...]
  local copy=$1 fault=$2 status=0; shift 2
  rm -f "$tmp/refused.png"
  "$@" env -u DISPLAY "$copy" --plot x --output "$tmp/refused.png" >"$tmp/out" 2>"$tmp/err" || status=$?
  [[ $status -eq 72 ]] || fail "status $status, not 72, for $copy ($fault): $(cat "$tmp/err")"
  [[ ! -e "$tmp/refused.png" ]] || fail "$copy drew a picture with a library it should refuse"
  grep -qF "$fault" "$tmp/err" || fail "the refusal of $copy doesn't name $fault: $(cat "$tmp/err")"
}
draws() { # COPY [COMMAND PREFIX...]
  local copy=$1; shift
  rm -f "$tmp/pictures/drawn.png"
  "$@" env -u DISPLAY "$copy" --plot x --output "$tmp/pictures/drawn.png" --size 20x20 \
    2>"$tmp/pictures/err" || fail "$copy draws no picture: $(cat "$tmp/pictures/err")"
}
plant() { # COPY: the library at the place the copy looks for it
  local place
  place=$(where_it_looks "$1")
  mkdir -p "$(dirname "$place")"
  cp "$library" "$place"
  echo "$place"
}

mkdir -p "$tmp/pictures"
chmod 1777 "$tmp/pictures"

# A folder that everyone may write, even with the sticky bit (as /tmp has), on the way.
mkdir -p "$tmp/sticky/x"
chmod 1777 "$tmp/sticky"
cp "$ziffa" "$tmp/sticky/x/ziffa"
plant "$tmp/sticky/x/ziffa" >/dev/null
refused "$tmp/sticky/x/ziffa" "\"$tmp/sticky\""
rm -rf "$tmp/sticky"/lib*
# A library cut short, beside the program: refused before the loader maps it past its end.
mkdir -p "$tmp/short"
cp "$ziffa" "$tmp/short/ziffa"
head -c "$(($(stat -c %s "$library") / 2))" "$library" >"$tmp/short/libziffa-gui.so"
refused "$tmp/short/ziffa" "$tmp/short/libziffa-gui.so"
printf 'not a library\n' >"$tmp/short/libziffa-gui.so"
refused "$tmp/short/ziffa" "$tmp/short/libziffa-gui.so"
# A library that its group may change.
cp "$library" "$tmp/short/libziffa-gui.so"
chmod 664 "$tmp/short/libziffa-gui.so"
refused "$tmp/short/ziffa" "$tmp/short/libziffa-gui.so"
chmod 644 "$tmp/short/libziffa-gui.so"
draws "$tmp/short/ziffa"

# Other users: an ordinary one, made for the test where it is missing (as root only).
other=ziffa-test
as_other=(setpriv --reuid="$other" --regid="$other" --clear-groups)
if [[ $(id -u) -eq 0 ]] && command -v setpriv >/dev/null &&
   { id "$other" >/dev/null 2>&1 || useradd --system --no-create-home "$other"; } &&
   "${as_other[@]}" test -x "$ziffa" -a -x "$tmp"; then
  # The other user plants a library for a copy in a sticky folder that everyone may write.
  mkdir -p "$tmp/shared/x"
  chmod 1777 "$tmp/shared"
  cp "$ziffa" "$tmp/shared/x/ziffa"
  place=$(where_it_looks "$tmp/shared/x/ziffa")
  "${as_other[@]}" mkdir -p "$(dirname "$place")"
  "${as_other[@]}" cp "$library" "$place"
  refused "$tmp/shared/x/ziffa" "$place"
  # A folder that the other user owns, even without writing to it now.
  mkdir -p "$tmp/foreign/x"
  cp "$ziffa" "$tmp/foreign/x/ziffa"
  place=$(plant "$tmp/foreign/x/ziffa")
  chown "$other" "$(dirname "$place")"
  chmod 755 "$(dirname "$place")"
  refused "$tmp/foreign/x/ziffa" "\"$(dirname "$place")\""
  # For the other user, its own copy and the build's program (owned by root) both draw.
  mkdir -p "$tmp/own"
  cp "$ziffa" "$library" "$tmp/own/"
  chown -R "$other" "$tmp/own"
  draws "$tmp/own/ziffa" "${as_other[@]}"
  draws "$ziffa" "${as_other[@]}"
  # Its own folder no longer is, once its group may write it.
  chmod 775 "$tmp/own"
  refused "$tmp/own/ziffa" "\"$tmp/own\"" "${as_other[@]}"
else
  echo "SKIP: no other user can reach the build here; libraries of other users are not checked"
fi

# Started without standard error (2>&-), the program must not hand its number to the first file
# it opens: on X11 that is the display's connection, where Qt's warning about a missing
# XDG_RUNTIME_DIR would go, and the program would wait for the display forever.
if command -v Xvfb >/dev/null; then
  Xvfb -displayfd 3 -nolisten tcp 3>"$tmp/display" >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 100); do [[ -s "$tmp/display" ]] && break; sleep 0.1; done
  [[ -s "$tmp/display" ]] || fail "Xvfb gave no display"
  status=0
  env -u XDG_RUNTIME_DIR -u QT_QPA_PLATFORM DISPLAY=":$(cat "$tmp/display")" \
    ZIFFA_SETTINGS="$tmp/closed-stderr.ini" timeout 60 "$ziffa" exit 2>&- || status=$?
  [[ $status -eq 0 ]] || fail "without standard error the windowed program ended with $status"
  # The display's server gone, the program ends with the session saved as far as it can be.
  if command -v xdotool >/dev/null; then
    env -u XDG_RUNTIME_DIR -u QT_QPA_PLATFORM DISPLAY=":$(cat "$tmp/display")" \
      ZIFFA_SETTINGS="$tmp/display-gone.ini" "$ziffa" "7*6" 2>/dev/null &
    pid=$!
    DISPLAY=":$(cat "$tmp/display")" timeout 60 xdotool search --sync --onlyvisible --name '^Ziffa' >/dev/null \
      || fail "the calculator window didn't show"
    kill "$xvfb" && xvfb=
    wait "$pid" || true
    grep -qx '0=7\*6' "$tmp/display-gone.ini" || fail "the session was lost with the display"
  fi
else
  echo "SKIP: no Xvfb; a start without standard error is not checked"
fi

# The end of a session, SIGTERM (a logout) or SIGHUP (a closed terminal), even twice, closes the
# calculator as its close box does, with the session saved. The copy stands in a folder whose name
# is no UTF-8: its settings file lies beside it; ZIFFA_SETTINGS names another such file.
session_ends() { # SIGNAL SETTINGS [ENVIRONMENT...]
  local signal=$1 settings=$2 pid mask status=0; shift 2
  env -u DISPLAY "$@" QT_QPA_PLATFORM=offscreen "$odd/ziffa" "6*7" 2>/dev/null &
  pid=$!
  for _ in $(seq 200); do # until it handles the signal
    mask=$(awk '/^SigCgt/ { print $2 }' "/proc/$pid/status" 2>/dev/null || true)
    [[ -n "$mask" ]] && (( 0x$mask & 1 )) && break
    sleep 0.05
  done
  kill "-$signal" "$pid"
  kill "-$signal" "$pid" 2>/dev/null || true
  wait "$pid" || status=$?
  [[ $status -eq 0 ]] || fail "$signal ended the program with status $status"
  grep -qx '0=6\*7' "$settings" || fail "$signal lost the session: $(cat "$settings" 2>&1)"
}
odd=$tmp/kopia$'\xff'
mkdir -p "$odd"
cp "$ziffa" "$library" "$odd/"
session_ends TERM "$odd/ziffa.ini" -u ZIFFA_SETTINGS
session_ends HUP "$odd.ini" ZIFFA_SETTINGS="$odd.ini"
echo "window library: all checks passed"
