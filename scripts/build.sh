#!/usr/bin/env bash
# Shared set-up of run.sh and test.sh: install what is missing, configure and build.
# Usage: scripts/build.sh BUILD_DIR [extra cmake arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$1; shift
scripts/install-deps.sh
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@" >&2
cmake --build "$dir" -j "$(nproc)" >&2
