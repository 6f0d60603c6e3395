#!/usr/bin/env bash
# Run by hand, as root, not by CI: the README's two commands as a newcomer
# runs them on a bare Debian RELEASE (bookworm, trixie, ...). debootstrap
# makes a minbase system in build/fresh-debian/RELEASE/ (replacing the one
# of the last run), from MIRROR (by default Debian's own), where only make
# is installed; a clone of this repository's committed HEAD then runs
# `make run`, which must print its one empty line with status 0, and
# `make test`, which must pass. Each step's time is printed.
#
# usage: check-fresh-debian.sh RELEASE [MIRROR]
set -euo pipefail
# RELEASE names the directory removed as root, so it is a release's name
# and nothing else: lower-case letters, as Debian's codenames and
# debootstrap's scripts are (no "..", no "/", no suite such as
# bookworm-backports). Checked first, so it needs no root to be tried; the
# letters are spelt out, as a range may take in others in some locales.
release_name() {
  case $1 in '' | *[!abcdefghijklmnopqrstuvwxyz]*) return 1 ;; esac
}
if [ $# -lt 1 ] || [ $# -gt 2 ] || ! release_name "$1"; then
  echo "usage: $0 RELEASE [MIRROR], RELEASE a Debian release's name in" \
    "lower-case letters (bookworm, trixie)" >&2
  exit 2
fi
release=$1 mirror=${2:-http://deb.debian.org/debian}
if [ "$(id -u)" -ne 0 ]; then
  echo "check-fresh-debian: debootstrap and chroot need root" >&2
  exit 1
fi
repo=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
head=$(git -C "$repo" rev-parse HEAD)
root=$repo/build/fresh-debian/$release

mounts_under_root() {
  awk -v under="$root/" 'index($2, under) == 1 { print $2 }' /proc/self/mounts
}
# A system left mounted by a run that was killed is not removed: removing it
# would reach into the host's /dev.
left_mounted=$(mounts_under_root)
if [ -n "$left_mounted" ]; then
  echo "check-fresh-debian: still mounted under $root:" "$left_mounted" >&2
  exit 1
fi

mounted=()
cleanup() {
  # Whatever still runs in the system, a Wine server say, holds its mounts.
  local proc pid
  for proc in /proc/[0-9]*; do
    if [ "$(readlink "$proc/root" 2>/dev/null)" = "$root" ]; then
      pid=${proc#/proc/}
      kill "$pid" 2>/dev/null || true
    fi
  done
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    umount "${mounted[i]}" 2>/dev/null || umount --lazy "${mounted[i]}"
  done
}
trap cleanup EXIT
mount_in_root() {
  local target=$root$1
  shift
  mount "$@" "$target"
  mounted+=("$target")
}

step_start=$SECONDS
step_done() {
  echo "check-fresh-debian: $release: $1 in $((SECONDS - step_start)) s"
  step_start=$SECONDS
}

rm -rf --one-file-system "$root"
mkdir -p "$root"
echo "check-fresh-debian: $release from $mirror, HEAD $head"
debootstrap --variant=minbase "$release" "$root" "$mirror" \
  >"$root.debootstrap.log" 2>&1 ||
  { tail -n 20 "$root.debootstrap.log" >&2; exit 1; }
step_done "debootstrap"

mount_in_root /proc -t proc proc
mount_in_root /sys -t sysfs sysfs
mount_in_root /dev --bind /dev
mount_in_root /dev/pts --bind /dev/pts
mount_in_root /dev/shm -t tmpfs shm
in_root() {
  chroot "$root" /usr/bin/env -i HOME=/root \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    bash -c "$1"
}
in_root 'apt-get update -qq && DEBIAN_FRONTEND=noninteractive \
  apt-get install -y -qq make >/dev/null'
git clone --quiet --no-checkout "$repo" "$root/root/conversion"
git -C "$root/root/conversion" checkout --quiet --detach "$head"
step_done "make installed, HEAD cloned"

in_root 'cd /root/conversion && make run' | tee "$root.make-run.log"
expected=$'--- conversion-driver: standard output follows ---\n\n'
expected+='--- conversion-driver: exit status 0 ---'
if [ "$(tail -n 3 "$root.make-run.log")" != "$expected" ]; then
  echo "check-fresh-debian: $release: make run did not print one empty" \
    "line with status 0" >&2
  exit 1
fi
step_done "make run passed"

in_root 'cd /root/conversion && make test'
step_done "make test passed"
