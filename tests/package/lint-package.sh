#!/usr/bin/env bash
# Runs lintian on the packages that make-package.sh built (source and binary, through their
# .changes file). Any error or warning fails; each warning that remains must be overridden, with
# its reason, in debian/*lintian-overrides. Overridden tags are shown.
# Usage: lint-package.sh WORK_DIR
set -euo pipefail
work=$1
shopt -s nullglob
changes=("$work"/ziffa_*.changes)
if [[ ${#changes[@]} -ne 1 ]]; then
  echo "FAIL: expected one ziffa_*.changes in $work, found ${#changes[@]}" >&2
  exit 1
fi
lintian --fail-on error,warning --info --show-overrides --tag-display-limit 0 "${changes[0]}"
echo "lintian: no error and no warning that is not overridden"
