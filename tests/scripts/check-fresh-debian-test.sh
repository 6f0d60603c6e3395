#!/usr/bin/env bash
# Rows for check-fresh-debian.sh's arguments: a RELEASE that is not a
# release's name is refused with the usage line and status 2 before
# anything else runs; a good one gets as far as the root check. A copy of
# the script runs outside any repository, as a user (a stub id), with
# stubs in place of everything that removes, makes or mounts, so a fault
# reaches nothing.
#
# usage: check-fresh-debian-test.sh SCRIPT
set -euo pipefail
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/bin" "$scratch/run"
script=$scratch/run/check-fresh-debian.sh
cp "$1" "$script"
stub() {
  printf '#!/bin/sh\necho "%s $*" >>"%s/calls"\n%s\n' "$1" "$scratch" "$2" \
    >"$scratch/bin/$1"
  chmod +x "$scratch/bin/$1"
}
stub id 'echo 1000'
for program in rm mkdir debootstrap mount umount chroot git; do
  stub "$program" 'exit 1'
done

failures=0
# expect NAME STATUS OUTPUT CALLS -- ARGUMENTS
expect() {
  local name=$1 want="status $2"$'\n'$3$'\n'"calls:"$'\n'$4 got status=0
  shift 5
  : >"$scratch/calls"
  got=$(cd "$scratch/run" && PATH=$scratch/bin:$PATH "$script" "$@" 2>&1) ||
    status=$?
  got="status $status"$'\n'$got$'\n'"calls:"$'\n'$(cat "$scratch/calls")
  if [ "$got" != "$want" ]; then
    printf 'FAIL: %s\n--- want\n%s\n--- got\n%s\n' "$name" "$want" "$got"
    failures=$((failures + 1))
  fi
}
usage="usage: $script RELEASE [MIRROR], RELEASE a Debian release's name in lower-case letters (bookworm, trixie)"
root="check-fresh-debian: debootstrap and chroot need root"

expect "the repository itself" 2 "$usage" "" -- ../..
expect "a path" 2 "$usage" "" -- a/b
expect "the build directory" 2 "$usage" "" -- .
expect "empty" 2 "$usage" "" -- ""
expect "a suite, not a release" 2 "$usage" "" -- bookworm-backports
expect "capitals" 2 "$usage" "" -- Bookworm
expect "a letter beyond ASCII" 2 "$usage" "" -- bookwörm
expect "a trailing newline" 2 "$usage" "" -- $'trixie\n'
expect "an option" 2 "$usage" "" -- -rf
expect "no argument" 2 "$usage" "" --
expect "three arguments" 2 "$usage" "" -- trixie http://deb.debian.org/debian x
expect "trixie" 1 "$root" "id -u" -- trixie
expect "bookworm from a mirror" 1 "$root" "id -u" -- bookworm \
  http://ftp.de.debian.org/debian
expect "sid" 1 "$root" "id -u" -- sid

[ "$failures" -eq 0 ] || { echo "$failures rows failed"; exit 1; }
echo "all rows passed"
