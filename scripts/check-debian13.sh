#!/usr/bin/env bash
# Builds and tests Ziffa on Debian 13 "trixie" as a fresh machine would: a new minimal trixie
# system in a folder (mmdebstrap, variant minbase) gets a clean copy of the tree (the files git
# tracks, as they stand in the working tree), and inside it, as root, ./run.sh builds and
# calculates and ./test.sh runs every test; both install what they need themselves
# (scripts/install-deps.sh). Needs root (or sudo) on a Debian host; installs mmdebstrap there.
#
# Usage: scripts/check-debian13.sh [WORK_DIR]     (default: build-debian13/)
#   ZIFFA_DEBIAN_MIRROR           Debian's archive (default http://deb.debian.org/debian)
#   ZIFFA_DEBIAN_SECURITY_MIRROR  its security archive (default http://deb.debian.org/debian-security)
#   ZIFFA_KEEP_CHROOT=1           keep the system (unmounted) in WORK_DIR/root afterwards
set -euo pipefail
cd "$(dirname "$0")/.."
tree=$PWD
if [[ $(id -u) -ne 0 ]]; then
  exec sudo --preserve-env=ZIFFA_DEBIAN_MIRROR,ZIFFA_DEBIAN_SECURITY_MIRROR,ZIFFA_KEEP_CHROOT,CI \
    "$tree/scripts/check-debian13.sh" "$@"
fi

suite=trixie
work=$(realpath -m "${1:-build-debian13}")
root=$work/root
mirror=${ZIFFA_DEBIAN_MIRROR:-http://deb.debian.org/debian}
security=${ZIFFA_DEBIAN_SECURITY_MIRROR:-http://deb.debian.org/debian-security}
started=$SECONDS

say() { printf 'debian13: %s\n' "$*" >&2; }
fail() { say "FAIL: $*"; exit 1; }
elapsed() { printf '%dm%02ds' $(((SECONDS - $1) / 60)) $(((SECONDS - $1) % 60)); }

# The mount points under the system's folder, deepest first.
mounts_under() {
  awk -v r="$root" '$5 == r || index($5, r "/") == 1 { print $5 }' /proc/self/mountinfo | sort -r
}

# Ends what still runs inside the system (an X server or a D-Bus daemon a test left), unmounts
# everything under it, and removes it unless asked to keep it. Nothing is removed while anything
# is still mounted there: the host's /dev and /proc must never be reached.
release() {
  [[ -d "$root" ]] || return 0
  local pid signal namespaces=" "
  if [[ -f "$work/mount-namespaces" ]]; then namespaces+="$(tr '\n' ' ' <"$work/mount-namespaces")"; fi
  for signal in TERM KILL; do
    for pid in /proc/[0-9]*; do
      if [[ "$(readlink "$pid/root" 2>/dev/null)" == "$root" ||
            "$namespaces" == *" $(readlink "$pid/ns/mnt" 2>/dev/null) "* ]]; then
        kill "-$signal" "${pid#/proc/}" 2>/dev/null || true
      fi
    done
    if [[ $signal == TERM ]]; then sleep 1; fi
  done
  local m mounts
  mapfile -t mounts < <(mounts_under)
  for m in "${mounts[@]}"; do
    umount "$m" 2>/dev/null || umount --lazy "$m" || true
  done
  if [[ -n "$(mounts_under)" ]]; then
    say "still mounted, left in place: $(mounts_under | tr '\n' ' ')"
    return 1
  fi
  if [[ "${ZIFFA_KEEP_CHROOT:-}" == 1 ]]; then
    say "the system is kept in $root"
  else
    rm -rf --one-file-system "$root"
  fi
  rm -f "$work/mount-namespaces"
}
trap 'release' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# The host's tool, then a new system in place of any old one.
ZIFFA_CHROOT=ON scripts/install-deps.sh
ZIFFA_KEEP_CHROOT='' release || fail "an earlier system in $root could not be unmounted"
mkdir -p "$work"
say "making a minimal Debian 13 ($suite) system in $root"
phase=$SECONDS
if ! mmdebstrap --mode=root --variant=minbase "$suite" "$root" \
      "deb $mirror $suite main" "deb $mirror $suite-updates main" \
      "deb $security $suite-security main" >"$work/mmdebstrap.log" 2>&1; then
  tail -n 40 "$work/mmdebstrap.log" >&2
  fail "mmdebstrap failed (log: $work/mmdebstrap.log)"
fi
say "system made in $(elapsed "$phase")"

# What every installed machine has and a bare system lacks: name resolution, a hosts file and a
# machine id (D-Bus reads it). Services are never started inside.
cp -L /etc/resolv.conf "$root/etc/resolv.conf"
printf '127.0.0.1\tlocalhost\n::1\t\tlocalhost ip6-localhost ip6-loopback\n' >"$root/etc/hosts"
[[ -s "$root/etc/machine-id" ]] || tr -d '-' </proc/sys/kernel/random/uuid >"$root/etc/machine-id"
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod 755 "$root/usr/sbin/policy-rc.d"
# A system that lives for one run: dpkg need not wait for each file to reach the disk.
echo force-unsafe-io >"$root/etc/dpkg/dpkg.cfg.d/unsafe-io"

# The clean copy of the tree: tracked files that exist in the working tree.
copy=/root/ziffa
mkdir -p "$root$copy"
git -c safe.directory="$tree" -C "$tree" ls-files -z --cached |
  (while IFS= read -r -d '' f; do
     if [[ -e "$f" || -L "$f" ]]; then printf '%s\0' "$f"; fi
   done) |
  tar -C "$tree" --null --no-recursion -T - -cf - | tar -C "$root$copy" -xf -

for m in /proc /sys /dev /dev/pts /dev/shm; do
  mkdir -p "$root$m"
  mount --bind "$m" "$root$m"
done

# Runs a command in the system as root. The system is made the root of a mount namespace of its
# own (pivot_root), not merely chroot's folder, so that it is a machine's root in every respect: a
# chrooted process may not make user namespaces, which the file-safety tests use (unshare -r -m)
# for a small full disk. What a run leaves running there is ended by release().
inside() {
  # shellcheck disable=SC2016 # the inner script's own parameters
  unshare --mount --propagation private -- /bin/bash -c '
    set -euo pipefail
    readlink /proc/self/ns/mnt >>"$1/mount-namespaces"
    mount --rbind "$2" "$2"
    cd "$2"
    mkdir -p .host
    pivot_root . .host
    umount --lazy /.host
    rmdir /.host
    cd "$3"
    exec /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
      HOME=/root LANG=C.UTF-8 TERM=dumb CI="$4" /bin/bash -c "$5"' \
    inside "$work" "$root" "$copy" "${CI:-}" "$1"
}

say "./run.sh --eval \"2*pi\" (installs, builds, calculates)"
phase=$SECONDS
value=$(inside './run.sh --eval "2*pi"') || fail "./run.sh failed"
[[ "$value" == 6.28318530717959 ]] || fail "./run.sh --eval \"2*pi\" printed: $value"
say "./run.sh: installed and built in $(elapsed "$phase"), calculates"

say "./test.sh"
phase=$SECONDS
inside './test.sh' || fail "./test.sh failed"
say "./test.sh passed in $(elapsed "$phase")"
say "Debian 13 passed in $(elapsed "$started")"
