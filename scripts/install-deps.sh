#!/usr/bin/env bash
# Installs, only when missing, every Debian package that Ziffa's build, tests and
# benchmarks need, with the Debian tools that build and check its package, and generates
# the pl_PL.UTF-8 locale that the locale tests use.
# Runs apt-get update only when there is something to install.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config make
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev libmuparser-dev
  fonts-liberation fonts-dejavu-core
  xvfb xauth imagemagick x11-utils strace
  qt6-translations-l10n
  openbox xdotool xclip dbus at-spi2-core python3-pyatspi orca
  mutter xwayland qt6-wayland
  locales
  desktop-file-utils appstream
  dpkg-dev debhelper lintian fakeroot build-essential
  hyperfine time
)
if [[ "${ZIFFA_FUZZ:-OFF}" == "ON" ]]; then
  packages+=(clang)
fi
# scripts/check-debian13.sh: a Debian 13 system in a folder.
if [[ "${ZIFFA_CHROOT:-OFF}" == "ON" ]]; then
  packages+=(mmdebstrap)
fi

as_root() {
  if [[ $(id -u) -eq 0 ]]; then "$@"; else sudo "$@"; fi
}

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if [[ ${#missing[@]} -gt 0 ]]; then
  echo "Installing: ${missing[*]}" >&2
  as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 update -q >&2
  as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends "${missing[@]}" >&2
fi

# The list is read whole first: grep -q in a pipe may end before locale has written it all,
# which pipefail would count as a missing locale.
locales=$(locale -a 2>/dev/null || true)
if ! grep -qi '^pl_PL\.utf-\?8$' <<<"$locales"; then
  echo "Generating the pl_PL.UTF-8 locale" >&2
  as_root localedef -i pl_PL -f UTF-8 pl_PL.UTF-8 >&2
fi
