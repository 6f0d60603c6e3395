#!/usr/bin/env bash
# Installs the Debian packages that building the program needs, and those
# named as arguments, and only the ones that are missing, so a second run
# costs nothing. Only the install itself runs as root (through sudo when the
# caller is not root), so the build that follows stays the caller's.
set -euo pipefail

packages=(cmake ninja-build g++ make libjsoncpp-dev libicu-dev nlohmann-json3-dev
  "$@")

if ! command -v dpkg-query >/dev/null || ! command -v apt-get >/dev/null; then
  echo "install-deps: no dpkg-query or apt-get here, so nothing is checked or" \
    "installed; the build needs: ${packages[*]} (Debian's names)"
  exit 0
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null |
      grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null; then
    echo "install-deps: missing packages: ${missing[*]}; there is no sudo," \
      "so install them as root (apt-get install ${missing[*]}) and run" \
      "again" >&2
    exit 1
  fi
  sudo=(sudo)
fi
echo "install-deps: installing ${missing[*]}"
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
