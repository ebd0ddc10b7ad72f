#!/usr/bin/env bash
# Peak memory of "ziffa --eval -" for one long line, per byte of the line, for the long forms
# people write or generate: a sum of literals, sums and products of a variable, a mix of
# functions and operators, distinct decimal numbers, a chain of divisions, a million nested
# parentheses and a chain nested to the right. The figure is the peak resident memory of the
# whole process (/usr/bin/time), the process's own start-up share included; the first row is
# that share alone.
# Usage: bench/peak-memory.sh [BUILD_DIR] [--size BYTES]
set -euo pipefail
cd "$(dirname "$0")/.."
build=build
size=10000000
while [[ $# -gt 0 ]]; do
  case $1 in
    --size) size=$2; shift 2 ;;
    *) build=$1; shift ;;
  esac
done
ziffa=$(realpath "$build/ziffa")
[[ -x "$ziffa" ]] || { echo "build $build first (ziffa)" >&2; exit 1; }
[[ -x /usr/bin/time ]] || { echo "/usr/bin/time is missing (Debian package time)" >&2; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export LC_ALL=C

# repeat UNIT LAST: UNIT as many times as fits in the size, then LAST, on one line.
repeat() {
  local unit=$1 last=$2
  local count=$(((size - ${#last}) / ${#unit}))
  (set +o pipefail; yes "$unit" | head -n "$count" | tr -d '\n'; echo "$last")
}

# nest OPEN INNER CLOSE: OPEN as many times as fits, INNER, then as many CLOSE.
nest() {
  local open=$1 inner=$2 close=$3
  local count=$(((size - ${#inner}) / (${#open} + ${#close})))
  (set +o pipefail
   yes "$open" | head -n "$count" | tr -d '\n'
   printf '%s' "$inner"
   yes "$close" | head -n "$count" | tr -d '\n'
   echo)
}

# Distinct decimal numbers 0.100000+0.100001+..., each one stored as a constant of its own.
decimals() {
  awk -v size="$size" 'BEGIN { n = int(size / 9); for (i = 0; i < n; i++) printf "0.%06d+", (100000 + i) % 1000000; print "1" }'
}

measure() {
  local name=$1 file=$2; shift 2
  local bytes kb
  bytes=$(($(wc -c <"$file") - 1))
  kb=$( { /usr/bin/time -f '%M' "$ziffa" --eval - "$@" <"$file" >"$tmp/out"; } 2>&1 | tail -n 1)
  if [[ "$(head -c 5 "$tmp/out")" == "BŁĄD" || ! -s "$tmp/out" ]]; then
    echo "$name: no value ($(head -c 80 "$tmp/out"))" >&2
  fi
  awk -v n="$name" -v b="$bytes" -v k="$kb" \
    'BEGIN { printf "| %s | %d | %.1f MB | %s |\n", n, b, k * 1024 / 1e6, (b >= 1000) ? sprintf("%.2f", k * 1024 / b) : "" }'
}

echo 1 >"$tmp/one.txt"
repeat "1+" 1 >"$tmp/sum.txt"
repeat "x*x+" "x*x" >"$tmp/vars.txt"
repeat "x+1.5*x-x*x/2+" "x" >"$tmp/poly.txt"
repeat "sin(x)*2+sqrt(x)/3-ln(x+1)^2+abs(x)*0.5-exp(1)/7+cos(x)+" 1 >"$tmp/mix.txt"
decimals >"$tmp/decimals.txt"
repeat "x/" x >"$tmp/division.txt"
size=$((size / 5)) nest "(" 7 ")" >"$tmp/nested.txt"
size=$((size * 2 / 5)) nest "1+(" 1 ")" >"$tmp/right.txt"

echo "| Line | Bytes | Peak | Peak per byte |"
echo "|---|---|---|---|"
measure "the process alone (\`1\`)" "$tmp/one.txt"
measure "sum of literals \`1+1+...\`" "$tmp/sum.txt"
measure "products of a variable \`x*x+x*x+...\`" "$tmp/vars.txt" --var x=1
measure "polynomial \`x+1.5*x-x*x/2+...\`" "$tmp/poly.txt" --var x=1
measure "functions and operators \`sin(x)*2+sqrt(x)/3-...\`" "$tmp/mix.txt" --var x=1
measure "distinct decimals \`0.100000+0.100001+...\`" "$tmp/decimals.txt"
measure "divisions \`x/x/x/...\`" "$tmp/division.txt" --var x=1
measure "nested parentheses \`((...7...))\`" "$tmp/nested.txt"
measure "nested to the right \`1+(1+(...))\`" "$tmp/right.txt"
