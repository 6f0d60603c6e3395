#!/usr/bin/env bash
# Rows for install-deps.sh: dpkg's status of the packages, how apt-get and
# sudo answer, and what the script prints, its status and the calls it made
# (sudo, apt-get update, apt-get install). dpkg-query, apt-get, sudo and id
# are stubs; nothing is installed.
#
# usage: install-deps-test.sh SCRIPT
set -euo pipefail
script=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/bin"
stub() { cat >"$scratch/bin/$1"; chmod +x "$scratch/bin/$1"; }
# dpkg's status database: one "PACKAGE<TAB>STATUS" line each.
stub dpkg-query <<'EOF'
#!/usr/bin/env bash
awk -F '\t' -v p="${!#}" '$1 == p { print $2; found = 1 } END { exit !found }' \
  "$SCRATCH/status" ||
  { echo "dpkg-query: no packages found matching ${!#}" >&2; exit 1; }
EOF
# An install marks its packages installed, so a second run finds them.
stub apt-get <<'EOF'
#!/usr/bin/env bash
echo "apt-get $*" >>"$SCRATCH/calls"
case $1 in
  update)
    status=$(cat "$SCRATCH/update-status")
    [ "$status" -eq 0 ] || echo "E: Failed to fetch" \
      "https://deb.nodesource.com/node_20.x/dists/nodistro/InRelease  404" \
      " Not Found" >&2
    exit "$status" ;;
  install)
    status=$(cat "$SCRATCH/install-status")
    [ "$status" -eq 0 ] ||
      { echo "E: Unable to locate package ${!#}" >&2; exit "$status"; }
    shift
    awk -F '\t' -v OFS='\t' -v installed=" $* " \
      'index(installed, " " $1 " ") { $2 = "install ok installed" } 1' \
      "$SCRATCH/status" >"$SCRATCH/status.new"
    mv "$SCRATCH/status.new" "$SCRATCH/status" ;;
esac
EOF
stub sudo <<'EOF'
#!/usr/bin/env bash
echo sudo >>"$SCRATCH/calls"
status=$(cat "$SCRATCH/sudo-status")
[ "$status" -eq 0 ] || { echo "sudo: a password is required" >&2; exit "$status"; }
exec "$@"
EOF
stub id <<'EOF'
#!/usr/bin/env bash
if [ "$1" = -u ]; then cat "$SCRATCH/uid"; else echo tester; fi
EOF
export SCRATCH=$scratch PATH=$scratch/bin:$PATH

# A new row: every package the build needs installed, libgtest-dev (the
# row's extra package) in STATUS; a user, sudo, update and install succeed.
row() {
  : >"$scratch/status"
  for package in cmake ninja-build g++ make libjsoncpp-dev libicu-dev \
    nlohmann-json3-dev; do
    printf '%s\tinstall ok installed\n' "$package" >>"$scratch/status"
  done
  [ -z "$1" ] || printf 'libgtest-dev\t%s\n' "$1" >>"$scratch/status"
  echo 1000 >"$scratch/uid"
  echo 0 >"$scratch/sudo-status"
  echo 0 >"$scratch/update-status"
  echo 0 >"$scratch/install-status"
}
failures=0
# expect NAME STATUS OUTPUT CALLS: one run of the script for libgtest-dev.
expect() {
  local got status=0
  : >"$scratch/calls"
  got=$("$script" libgtest-dev 2>&1) || status=$?
  got="status $status"$'\n'$got$'\n'"calls:"$'\n'$(cat "$scratch/calls")
  local want="status $2"$'\n'$3$'\n'"calls:"$'\n'$4
  if [ "$got" != "$want" ]; then
    printf 'FAIL: %s\n--- want\n%s\n--- got\n%s\n' "$1" "$want" "$got"
    failures=$((failures + 1))
  fi
}
installing="install-deps: installing libgtest-dev"
installed='sudo
apt-get update -qq
sudo
apt-get install -y -qq --no-install-recommends libgtest-dev'

row 'install ok installed'
expect "installed" 0 "" ""
row 'hold ok installed'
expect "held" 0 "" ""
row 'deinstall ok installed'
expect "marked for removal, still installed" 0 "" ""
row 'deinstall ok config-files'
expect "configuration files alone" 0 "$installing" "$installed"
row 'install ok half-configured'
expect "half-configured" 0 "$installing" "$installed"
row ''
expect "never installed" 0 "$installing" "$installed"

# The held package stays as it is; only the missing one is installed, and
# the second run asks for nothing.
row 'hold ok installed'
sed -i 's/^cmake\t.*/cmake\tdeinstall ok config-files/' "$scratch/status"
expect "first run, cmake missing" 0 "install-deps: installing cmake" \
  "${installed//libgtest-dev/cmake}"
expect "second run" 0 "" ""

row ''
echo 100 >"$scratch/update-status"
expect "update fails for one source" 0 "$installing
E: Failed to fetch https://deb.nodesource.com/node_20.x/dists/nodistro/InRelease  404  Not Found
install-deps: apt-get update failed (status 100; apt's messages above say why); installing from the lists apt has" \
  "$installed"
row ''
echo 100 >"$scratch/update-status"
echo 100 >"$scratch/install-status"
expect "update and install fail" 100 "$installing
E: Failed to fetch https://deb.nodesource.com/node_20.x/dists/nodistro/InRelease  404  Not Found
install-deps: apt-get update failed (status 100; apt's messages above say why); installing from the lists apt has
E: Unable to locate package libgtest-dev" "$installed"
row ''
echo 100 >"$scratch/install-status"
expect "install fails" 100 "$installing
E: Unable to locate package libgtest-dev" "$installed"
row ''
echo 1 >"$scratch/sudo-status"
expect "sudo refused" 1 "$installing
sudo: a password is required" "sudo"
row ''
echo 0 >"$scratch/uid"
expect "as root, no sudo" 0 "$installing" "apt-get update -qq
apt-get install -y -qq --no-install-recommends libgtest-dev"

[ "$failures" -eq 0 ] || { echo "$failures rows failed"; exit 1; }
echo "all rows passed"
