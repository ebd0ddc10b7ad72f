#!/usr/bin/env bash
# Whole-process times of the ziffa command, measured with hyperfine against yardsticks in the same
# run:
#   - "ziffa --eval 2*pi" and "ziffa --help" against a plain C++ program that reads the locale's
#     decimal point and prints a number (bench/PlainNumber.cpp); the goal is within 1.5 times;
#   - "ziffa --eval -" over a 10 MB sum on one line against the library's own compile-and-evaluate
#     time of the same text (BM_EvaluateExpression/Sum10MB); the goal is within 1.3 times;
#   - the windowed start: the calculator shown and closed at once ("ziffa exit", on Qt's
#     offscreen platform); with --compare OTHER_ZIFFA also that of another build of the program.
# Usage: bench/whole-process.sh [BUILD_DIR] [--compare OTHER_ZIFFA] [--runs N]
# Run it on a quiet machine; the figures move with the load of other processes.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build
compare=
runs=300
while [[ $# -gt 0 ]]; do
  case $1 in
    --compare) compare=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    *) build=$1; shift ;;
  esac
done
command -v hyperfine >/dev/null || { echo "hyperfine is missing: scripts/install-deps.sh" >&2; exit 1; }
ziffa=$(realpath "$build/ziffa")
plain=$(realpath "$build/bench/ziffa_bench_plain_number")
[[ -x "$ziffa" && -x "$plain" ]] || { echo "build $build first (ziffa, ziffa_bench_plain_number)" >&2; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export LC_ALL=${LC_ALL:-pl_PL.UTF-8}
echo "== start of a process (LC_ALL=$LC_ALL)"
hyperfine -N --warmup 30 --runs "$runs" --export-markdown "$tmp/start.md" \
  -n plain "$plain" \
  -n "ziffa --eval 2*pi" "$ziffa --eval 2*pi" \
  -n "ziffa --help" "$ziffa --help"
cat "$tmp/start.md"

echo "== windowed start: shown and closed at once"
export QT_QPA_PLATFORM=offscreen ZIFFA_SETTINGS=$tmp/settings.ini
windowed=(-n "ziffa exit" "$ziffa exit")
[[ -n "$compare" ]] && windowed+=(-n "other exit" "$(realpath "$compare") exit")
hyperfine -N --warmup 5 --runs $((runs / 5)) --export-markdown "$tmp/windowed.md" "${windowed[@]}"
cat "$tmp/windowed.md"
unset QT_QPA_PLATFORM ZIFFA_SETTINGS

echo "== a 10 MB sum on one line"
(set +o pipefail; yes 1+ | head -n 4999999 | tr -d '\n'; echo 1) >"$tmp/sum.txt"
hyperfine --warmup 1 --runs 10 --export-markdown "$tmp/sum.md" \
  -n "ziffa --eval - < sum.txt" "$ziffa --eval - < $tmp/sum.txt"
cat "$tmp/sum.md"
"$build/bench/ziffa_bench_expression" --benchmark_filter='Sum10MB' --benchmark_repetitions=5 \
  --benchmark_report_aggregates_only=true
/usr/bin/time -f "peak resident memory of ziffa --eval - < sum.txt: %M KB" \
  "$ziffa" --eval - <"$tmp/sum.txt" >/dev/null
