#!/usr/bin/env bash
# The headless modes' input and output as the real program meets them: pipes, a stdout that
# can't be written, a stdin that can't be read, and (with --memory) lines that exhaust a memory
# limit. Every case names what it expects; the first difference fails the test.
# Usage: check-headless-io.sh ZIFFA [--memory]
set -uo pipefail
ziffa=$1
mode=${2:-}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0

# expect NAME STATUS STDOUT STDERR-PATTERN COMMAND...: runs the command (a shell snippet with
# $ziffa), compares its status and standard output exactly, and greps its standard error.
expect() {
  local name=$1 status=$2 out=$3 err=$4; shift 4
  local got
  bash -c "$*" ziffa "$ziffa" >"$tmp/out" 2>"$tmp/err"
  got=$?
  if [[ $got -ne $status ]]; then
    echo "FAIL $name: status $got, expected $status"; cat "$tmp/err"; failures=$((failures + 1))
  elif [[ "$(cat "$tmp/out")" != "$out" ]]; then
    echo "FAIL $name: standard output"; diff <(printf '%s\n' "$out") "$tmp/out" | head -20
    failures=$((failures + 1))
  elif [[ -n "$err" ]] && ! grep -qE -- "$err" "$tmp/err"; then
    echo "FAIL $name: standard error lacks /$err/:"; head -c 2000 "$tmp/err"; echo
    failures=$((failures + 1))
  else
    echo "ok   $name"
  fi
}

if [[ "$mode" != --memory ]]; then
  expect "lines from a pipe" 1 $'2\n6\nBŁĄD: Wyrażenie puste' "" \
    'printf "1+1\n2*3\n\n" | "$1" --eval -'
  expect "stdout on a full device" 74 "" \
    "nie można zapisać standardowego wyjścia: brak miejsca na urządzeniu$" \
    '"$1" --eval 1+1 >/dev/full'
  expect "stdout on a full device, lines" 74 "" "nie można zapisać standardowego wyjścia" \
    'seq 1 100000 | "$1" --eval - >/dev/full'
  expect "help on a full device" 74 "" "nie można zapisać standardowego wyjścia" \
    '"$1" --help >/dev/full'
  expect "stdout closed" 74 "" "nie można zapisać standardowego wyjścia: błędny deskryptor pliku$" \
    '"$1" --eval 1+1 >&-'
  expect "stdin a folder" 74 "" "nie można odczytać standardowego wejścia: to jest folder$" \
    '"$1" --eval - </tmp'
  expect "stdin closed" 74 "" "nie można odczytać standardowego wejścia: błędny deskryptor pliku$" \
    '"$1" --eval - <&-'
  # The picture mode's own output (the error line of a refused function) is checked too.
  expect "picture mode's stdout on a full device" 74 "" \
    "nie można zapisać standardowego wyjścia: brak miejsca na urządzeniu$" \
    '"$1" --plot "1+" --output "'"$tmp"'/x.png" >/dev/full'
  expect "a usage error" 64 "" "^ziffa: nieznany argument: --frobnicate$" '"$1" --frobnicate'
  expect "a points file that isn't there" 1 "" \
    "^ziffa: nie można otworzyć pliku punktów \"$tmp/none\": nie ma takiego pliku ani folderu$" \
    '"$1" --points "'"$tmp"'/none" --output "'"$tmp"'/x.png"'
  expect "a picture into a missing folder" 1 "" \
    "^ziffa: nie można zapisać pliku \"$tmp/none/x.png\": nie ma takiego pliku ani folderu$" \
    '"$1" --plot x --output "'"$tmp"'/none/x.png"'
  expect "a 10 MB sum on one line" 0 "5000000" "" \
    'yes 1+ | head -n 4999999 | tr -d "\n" | { cat; echo 1; } | "$1" --eval -'
else
  # A 100 MB sum needs about 120 MB of address space to hold and 240 MB to evaluate (its program
  # takes about its own length); the limits below let it be evaluated within three times its
  # length, then refuse its evaluation, then its reading. The lines after it are answered.
  make_input() { echo 1+1; yes 1+ | head -n 50000000 | tr -d '\n'; echo 1; echo 2*3; }
  make_input >"$tmp/big.txt"
  expect "a 100 MB line within three times its length" 0 $'2\n50000001\n6' "" \
    'ulimit -v 292969; "$1" --eval - <"'"$tmp"'/big.txt"'
  # A line from a pipe can't be measured beforehand: it is gathered in pieces and joined once, so
  # it is held about twice at most (a string doubling its room would hold it three times, here
  # 64 MB and 128 MB at once, before its program is made).
  make_pipe_input() { echo 1+1; yes 1+ | head -n 35000000 | tr -d '\n'; echo 1; echo 2*3; }
  make_pipe_input >"$tmp/big70.txt"
  expect "a 70 MB line from a pipe within about three times its length" 0 $'2\n35000001\n6' "" \
    'ulimit -v 215000; cat "'"$tmp"'/big70.txt" | "$1" --eval -'
  rm -f "$tmp/big70.txt"
  expect "a line that memory can't evaluate" 2 $'2\nBŁĄD: Za mało pamięci\n6' \
    "^ziffa: za mało pamięci na wyrażenie$" \
    'ulimit -v 170000; "$1" --eval - <"'"$tmp"'/big.txt"'
  expect "a line that memory can't hold" 2 $'2\nBŁĄD: Za mało pamięci\n6' \
    "^ziffa: za mało pamięci na wyrażenie$" \
    'ulimit -v 120000; "$1" --eval - <"'"$tmp"'/big.txt"'
  expect "a line from a pipe that memory can't hold" 2 $'2\nBŁĄD: Za mało pamięci\n6' "" \
    'ulimit -v 120000; cat "'"$tmp"'/big.txt" | "$1" --eval -'
fi

[[ $failures -eq 0 ]] || { echo "$failures case(s) failed"; exit 1; }
