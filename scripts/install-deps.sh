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

# Installed is the status word alone: a held package ("hold ok installed")
# or one marked for removal is there all the same.
missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}\n' "$package" 2>/dev/null |
      awk '$3 == "installed" { found = 1 } END { exit !found }'; then
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
# One failing source (a third party's, say) fails the whole update with
# apt's status 100, yet the lists of the others, Debian's among them, may
# serve the install: then the install decides. Any other status (sudo
# refused, say) stops here.
status=0
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq ||
  status=$?
case $status in
  0) ;;
  100) echo "install-deps: apt-get update failed (status 100; apt's" \
    "messages above say why); installing from the lists apt has" >&2 ;;
  *) exit "$status" ;;
esac
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
