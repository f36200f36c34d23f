#!/usr/bin/env bash
# Installs the missing Debian packages of scripts/packages.txt and builds the
# project into build/. Safe to run again: both steps are quick when done.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

missing=()
while read -r pkg; do
  [[ -z "$pkg" || "$pkg" == \#* ]] && continue
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
done < "$top/scripts/packages.txt"
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=""
  [[ $(id -u) -ne 0 ]] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if [[ ! -f "$top/build/build.ninja" ]]; then
  cmake -S "$top" -B "$top/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$top/build" -j"$(nproc)"
