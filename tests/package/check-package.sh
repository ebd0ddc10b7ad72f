#!/usr/bin/env bash
# Checks the binary package that make-package.sh built: its control fields, its exact list of
# files (files.txt), what a desktop needs of the installed tree (tests/install/check-install.sh
# on the unpacked package), and the unpacked program itself.
# Usage: check-package.sh WORK_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$1

fail() { echo "FAIL: $*" >&2; exit 1; }
shopt -s nullglob
debs=("$work"/ziffa_*.deb)
[[ ${#debs[@]} -eq 1 ]] || fail "expected one ziffa_*.deb in $work, found ${#debs[@]}"
deb=${debs[0]}
copies=("$work"/ziffa-*/debian/changelog)
[[ ${#copies[@]} -eq 1 ]] || fail "the source copy is missing in $work"

# Control fields.
field() { dpkg-deb -f "$deb" "$1"; }
[[ "$(field Package)" == ziffa ]] || fail "Package: $(field Package)"
[[ "$(field Section)" == math ]] || fail "Section: $(field Section)"
[[ "$(field Architecture)" == "$(dpkg --print-architecture)" ]] || fail "Architecture: $(field Architecture)"
[[ "$(field Version)" == "$(dpkg-parsechangelog -l "${copies[0]}" -S Version)" ]] ||
  fail "Version $(field Version) is not the changelog's"
depends=$(field Depends)
for needed in libc6 libqt6widgets6 fonts-liberation fonts-dejavu-core qt6-translations-l10n; do
  [[ ",$depends," =~ [,\ ]${needed}[,\ ] ]] || fail "Depends lacks $needed: $depends"
done

# The exact list of files and links, all owned by root.
mapfile -t patterns < <(grep -v -e '^#' -e '^[[:space:]]*$' "$here/files.txt")
listing=$(dpkg-deb -c "$deb")
if awk '$2 != "root/root"' <<<"$listing" | grep -q .; then
  fail "entries not owned by root: $(awk '$2 != "root/root"' <<<"$listing")"
fi
mapfile -t files < <(awk '$1 !~ /^d/ { sub(/^\./, "", $6); print $6 }' <<<"$listing")
declare -A matched=()
for f in "${files[@]}"; do
  found=
  for p in "${patterns[@]}"; do
    # shellcheck disable=SC2053 # the lines of files.txt are patterns
    if [[ "$f" == $p ]]; then found=1; matched[$p]=1; fi
  done
  [[ -n "$found" ]] || fail "the package holds $f, which files.txt does not list"
done
for p in "${patterns[@]}"; do
  [[ -n "${matched[$p]:-}" ]] || fail "the package lacks $p"
done

# The source package holds the whole clean copy of the tree: the build folders it leaves out
# (debian/source/options) are only those.
tarballs=("$work"/ziffa_*.tar.*)
[[ ${#tarballs[@]} -eq 1 ]] || fail "expected one source tarball in $work, found ${#tarballs[@]}"
missing=$(tar -tf "${tarballs[0]}" | grep -v '/$' | sed 's|^[^/]*/||' | LC_ALL=C sort |
  LC_ALL=C comm -13 - "$work/source-files.txt")
[[ -z "$missing" ]] || fail "the source package lacks: $missing"

# The unpacked package as a desktop sees it, and the program it carries.
root=$(mktemp -d "$work/root.XXXXXX")
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"
gunzip "$root/usr/share/man/man1/ziffa.1.gz" # check-install.sh reads the page's source
"$here/../install/check-install.sh" --installed "$root/usr"
if ldd "$root/usr/bin/ziffa" | grep -q 'not found'; then
  fail "libraries not found: $(ldd "$root/usr/bin/ziffa" | grep 'not found')"
fi
result=$(cd "$root" && env -u DISPLAY -u WAYLAND_DISPLAY LC_ALL=C usr/bin/ziffa --eval "2*pi")
[[ "$result" == 6.28318530717959 ]] || fail "the unpacked ziffa --eval \"2*pi\" printed: $result"
echo "package: $(basename "$deb") holds ${#files[@]} files as listed, and its program calculates"
