#!/usr/bin/env bash
# Installs what the other builds need, when any of it is missing:
#   i386    - gcc multilib and Debian's i386 PortAudio through multiarch;
#   windows - mingw-w64 (i686, POSIX threads), wine with its 32-bit half, and Debian's own
#             source of PortAudio (a deb-src entry is added for apt-get source).
# Usage: tools/setup-cross.sh [i386] [windows]   (no argument: both)
set -euo pipefail
targets=("$@"); [ ${#targets[@]} -eq 0 ] && targets=(i386 windows)
SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
export DEBIAN_FRONTEND=noninteractive

"$(dirname "$0")/setup.sh"

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

need_update=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
  need_update=1
fi
SRC_LIST=/etc/apt/sources.list.d/velto-src.list
if [[ " ${targets[*]} " == *" windows "* ]]; then
  codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
  # The same archive and key as the system's own binary entries.
  keyring=/usr/share/keyrings/debian-archive-keyring.gpg
  line="deb-src [signed-by=$keyring] http://deb.debian.org/debian $codename main"
  if [ "$(cat "$SRC_LIST" 2>/dev/null)" != "$line" ]; then
    echo "$line" | $SUDO tee "$SRC_LIST" >/dev/null
    need_update=1
  fi
fi

packages=()
for t in "${targets[@]}"; do
  case $t in
    # qemu-user runs the 32-bit tests on kernels without 32-bit support.
    i386) packages+=(g++-multilib portaudio19-dev:i386 qemu-user) ;;
    windows) packages+=(g++-mingw-w64-i686-posix mingw-w64-i686-dev
                        g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
                        wine wine32:i386 wine64 dpkg-dev) ;;
    *) echo "unknown target: $t" >&2; exit 2 ;;
  esac
done
missing=()
for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done
if [ ${#missing[@]} -gt 0 ] || [ $need_update -eq 1 ]; then
  $SUDO apt-get update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
