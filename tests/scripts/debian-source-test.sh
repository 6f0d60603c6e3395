#!/usr/bin/env bash
# Rows for debian-source.sh: each gives apt sources, the Release files that
# apt's lists hold for them, and the one stanza printed or the one line of
# refusal. apt reads a configuration of the row's own (APT_CONFIG), so no
# system file is read and nothing is fetched.
#
# usage: debian-source-test.sh SCRIPT
set -euo pipefail
script=$1
command -v apt-get >/dev/null || { echo "no apt-get here"; exit 77; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
etc=$scratch/etc lists=$scratch/lists
cat >"$scratch/apt.conf" <<EOF
Dir::Etc "$etc/";
Dir::State::Lists "$lists/";
Dir::Cache "$scratch/cache/";
APT::Architecture "amd64";
APT::Architectures { "amd64"; };
Acquire::Languages { "none"; };
EOF
export APT_CONFIG=$scratch/apt.conf

# A new row: no sources, no lists, the given release running.
row() {
  rm -rf "$etc" "$lists"
  mkdir -p "$etc/sources.list.d" "$etc/apt.conf.d" "$etc/preferences.d" \
    "$lists/partial"
  echo "VERSION_CODENAME=${1:-bookworm}" >"$scratch/os-release"
}
# sources FILE TEXT: a sources file under etc/, sources.list or sources.list.d/*.
sources() { printf '%s\n' "$2" >"$etc/$1"; }
# release LISTNAME ORIGIN CODENAME [InRelease|Release]: the verified (or, as
# a bare Release, unverified) Release file and main's index in the lists.
release() {
  printf 'Origin: %s\nLabel: %s\nCodename: %s\n' "$2" "$2" "$3" \
    >"$lists/$1_${4:-InRelease}"
  : >"$lists/$1_main_binary-amd64_Packages"
}
failures=0
expect() {
  local name=$1 want=$2 got status=0
  got=$("$script" "$scratch/os-release" 2>&1) || status=$?
  got="status $status"$'\n'$got
  if [ "$got" != "$want" ]; then
    printf 'FAIL: %s\n--- want\n%s\n--- got\n%s\n' "$name" "$want" "$got"
    failures=$((failures + 1))
  fi
}
stanza() { # URI SUITE [SIGNED-BY LINES]
  printf 'status 0\nTypes: deb-src\nURIs: %s\nSuites: %s\nComponents: main' \
    "$1" "$2"
  [ $# -lt 3 ] || printf '\n%s' "$3"
}
debian=deb.debian.org_debian_dists
keyring=/usr/share/keyrings/debian-archive-keyring.gpg
fpr1=0123456789ABCDEF0123456789ABCDEF01234567
fpr2=89ABCDEF0123456789ABCDEF0123456789ABCDEF
key_block=' -----BEGIN PGP PUBLIC KEY BLOCK-----
 .
 mQINBGPL0BUBEADmW5NdOOHwPIJlgPu6JDcKw/NZJPR8lsD3K87ZM18gzyQZJD+w
 =Yp3M
 -----END PGP PUBLIC KEY BLOCK-----'
no_archive="status 1
debian-source: no Debian archive for bookworm (Origin Debian, signed, with main) among the sources whose lists apt holds; add one, or run apt-get update as root if one is new"

row
sources sources.list "deb http://deb.debian.org/debian bookworm main
deb http://deb.debian.org/debian-security bookworm-security main
deb http://deb.debian.org/debian bookworm-updates main"
release "$debian"_bookworm Debian bookworm
release deb.debian.org_debian-security_dists_bookworm-security Debian \
  bookworm-security
release "$debian"_bookworm-updates Debian bookworm-updates
expect "Debian 12's sources.list" "$(stanza http://deb.debian.org/debian/ bookworm)"

row
sources sources.list "deb http://deb.debian.org/debian bookworm main"
sources sources.list.d/nodesource.sources "Types: deb
URIs: https://deb.nodesource.com/node_20.x
Suites: nodistro
Components: main
Signed-By: /usr/share/keyrings/nodesource.gpg"
release "$debian"_bookworm Debian bookworm
release deb.nodesource.com_node%5f20.x_dists_nodistro "Node Source" nodistro
expect "sources.list beside nodesource.sources" \
  "$(stanza http://deb.debian.org/debian/ bookworm)"

row trixie
sources sources.list.d/debian.sources "Types: deb
URIs: http://deb.debian.org/debian-security
Suites: trixie-security
Components: main
Signed-By: $keyring

Types: deb
URIs: http://deb.debian.org/debian
Suites: trixie trixie-updates
Components: main
Signed-By: $keyring"
release deb.debian.org_debian-security_dists_trixie-security Debian \
  trixie-security
release "$debian"_trixie Debian trixie
release "$debian"_trixie-updates Debian trixie-updates
expect "Debian 13's debian.sources, keyring path" \
  "$(stanza http://deb.debian.org/debian/ trixie "Signed-By: $keyring")"

row
sources sources.list.d/debian.sources "Types: deb
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By:
$key_block"
release "$debian"_bookworm Debian bookworm
expect "inline key block" \
  "$(stanza http://deb.debian.org/debian/ bookworm "Signed-By:
$key_block")"

row
sources sources.list "deb [arch=amd64] http://deb.debian.org/debian bookworm main"
release "$debian"_bookworm Debian bookworm
expect "options without signed-by" "$(stanza http://deb.debian.org/debian/ bookworm)"

row
sources sources.list "deb [ arch=amd64 signed-by=$fpr1,$fpr2 ] http://deb.debian.org/debian bookworm main"
release "$debian"_bookworm Debian bookworm
expect "signed-by fingerprints among options" \
  "$(stanza http://deb.debian.org/debian/ bookworm "Signed-By: $fpr1 $fpr2")"

row
sources sources.list $'deb\thttp://deb.debian.org/debian\tbookworm\tmain'
release "$debian"_bookworm Debian bookworm
expect "tab-separated line" "$(stanza http://deb.debian.org/debian/ bookworm)"

row
sources sources.list "deb  [signed-by=$keyring]  http://deb.debian.org/debian   bookworm  main"
release "$debian"_bookworm Debian bookworm
expect "double-spaced line" \
  "$(stanza http://deb.debian.org/debian/ bookworm "Signed-By: $keyring")"

row
sources sources.list "deb cdrom:[Debian 12 DVD]/ bookworm main
deb http://deb.debian.org/debian bookworm main"
release 'Debian%2012%20DVD_dists_bookworm' Debian bookworm
release "$debian"_bookworm Debian bookworm
expect "a CD before the mirror" "$(stanza http://deb.debian.org/debian/ bookworm)"

# The disabled stanza's lists are still there, from before it was disabled;
# it still counts in apt's numbering of the file's stanzas.
row
sources sources.list.d/debian.sources "# Debian's archive, by way of two mirrors

Types: deb
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Enabled: no
Signed-By: /etc/apt/keyrings/disabled.gpg

# the second
Types: deb
URIs: http://ftp.de.debian.org/debian
Suites: bookworm
Components: main
Signed-By: $keyring"
release "$debian"_bookworm Debian bookworm
release ftp.de.debian.org_debian_dists_bookworm Debian bookworm
expect "a disabled stanza" \
  "$(stanza http://ftp.de.debian.org/debian/ bookworm "Signed-By: $keyring")"

row
sources sources.list "deb [signed-by=/etc/apt/keyrings/corp.gpg] https://apt.example.com/tools bookworm main
deb [signed-by=/etc/apt/keyrings/corp.gpg] https://mirror.example.com/debian bookworm main"
release apt.example.com_tools_dists_bookworm "Example Corp" bookworm
release mirror.example.com_debian_dists_bookworm Debian bookworm
expect "a company's mirror of Debian" \
  "$(stanza https://mirror.example.com/debian/ bookworm \
    "Signed-By: /etc/apt/keyrings/corp.gpg")"

row
sources sources.list "deb http://deb.debian.org/debian-security bookworm-security main"
release deb.debian.org_debian-security_dists_bookworm-security Debian \
  bookworm-security
expect "security updates alone" "$no_archive"

row
sources sources.list "deb http://deb.debian.org/debian trixie main"
release "$debian"_trixie Debian trixie
expect "another release's archive" "$no_archive"

row
sources sources.list "deb http://deb.debian.org/debian bookworm main"
release "$debian"_bookworm Debian bookworm Release
expect "a Release file without signature" "$no_archive"

row
sources sources.list "deb http://deb.debian.org/debian bookworm main"
expect "lists never updated" "status 1
debian-source: apt's lists hold no index of any source yet; run apt-get update as root first"

row
echo 'NAME="Debian GNU/Linux"' >"$scratch/os-release"
expect "no codename" "status 1
debian-source: no release codename in $scratch/os-release"

[ "$failures" -eq 0 ] || { echo "$failures rows failed"; exit 1; }
echo "all rows passed"
