#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Reelo need.
# Quiet and quick when everything is already there; runs apt-get update only
# when something has to be installed.
set -euo pipefail

packages=(
  build-essential cmake make pkg-config
  clang libclang-rt-14-dev lld
  llvm
  qt6-base-dev qt6-translations-l10n libgl-dev qt6-multimedia-dev
  libsndfile1-dev libsoxr-dev libspectrum-dev
  zlib1g-dev libpng-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  fonts-dejavu-core fonts-liberation
  xvfb xauth openbox
  fuse-emulator-utils zmakebas pasmo sox lame vorbis-tools opus-tools espeak-ng
  python3-numpy python3-scipy python3-png
  pulseaudio pulseaudio-utils
  time
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
