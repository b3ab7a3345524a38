#!/usr/bin/env bash
# Installs what building, running and testing Tapewing needs on Debian. Safe to run again.
set -euo pipefail

packages=(g++-mingw-w64-i686 cmake make wine wine32:i386 wine64 fonts-wine xvfb xdotool x11-utils
          imagemagick pulseaudio pulseaudio-utils sox googletest python3)

# wine64 brings the native wineserver, which serves the 32-bit programs too.
# Some machines run a kernel without 32-bit support: there the i386 Wine runs through qemu's user-mode
# emulator, registered for 32-bit ELF files.
packages+=(qemu-user-static)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Can this kernel run 32-bit programs? If not, hand them to qemu.
probe=/usr/lib/wine/wine
if ! "$probe" --version >/dev/null 2>&1; then
  binfmt=/proc/sys/fs/binfmt_misc
  [ -e "$binfmt/register" ] || $sudo mount -t binfmt_misc binfmt_misc "$binfmt"
  if [ ! -e "$binfmt/qemu-i386" ]; then
    echo "setup: this kernel cannot run 32-bit programs; registering qemu-i386 for them"
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
      | $sudo tee "$binfmt/register" >/dev/null
  fi
  "$probe" --version >/dev/null 2>&1 || { echo "setup: 32-bit Wine still does not start" >&2; exit 1; }
fi
