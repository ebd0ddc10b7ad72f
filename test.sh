#!/usr/bin/env bash
# Installs what is missing, builds Ziffa and runs the whole test suite.
#   ./test.sh             Release build in build/
#   ./test.sh --sanitize  the same suite with AddressSanitizer and UBSan in build-sanitize/
set -euo pipefail
cd "$(dirname "$0")"
if [[ "${1:-}" == "--sanitize" ]]; then
  scripts/build.sh build-sanitize -DZIFFA_SANITIZE=ON
  export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  cd build-sanitize
else
  scripts/build.sh build
  cd build
fi
ctest --output-on-failure -j "$(nproc)"
