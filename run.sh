#!/usr/bin/env bash
# Installs what is missing, builds Ziffa (Release) into build/ and starts it with the given arguments.
set -euo pipefail
cd "$(dirname "$0")"
scripts/build.sh build
exec build/ziffa "$@"
