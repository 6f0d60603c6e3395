#!/usr/bin/env bash
# Builds what the Windows build links and Debian ships no Windows build of,
# afresh into PREFIX (the Makefile runs it again when it or the toolchain
# file changes): jsoncpp from Debian's own source package
# (the version the Linux build links) and GoogleTest from /usr/src/googletest,
# both with the project's MinGW-w64 toolchain file; and nlohmann::json, which
# is header-only, as Debian's own headers and CMake files.
#
# The source package comes through an apt configuration of our own under
# WORK: a deb-src source for the Debian archive that apt already knows for
# this release (debian-source.sh), with its own lists and cache, so the
# system's configuration and lists stay as they are; apt checks the
# signatures with the key that the system's entry names. The last line says
# what jsoncpp was built from.
#
# usage: build-windows-deps.sh TOOLCHAIN_FILE WORK PREFIX
set -euo pipefail
toolchain=$1 work=$2 prefix=$3
# Chosen before anything is removed, so a machine that apt knows no Debian
# archive on keeps what it had.
source_stanza=$("$(dirname "$0")/debian-source.sh")
rm -rf "$work" "$prefix"
mkdir -p "$work/apt/lists/partial" "$work/apt/cache/archives/partial" \
  "$work/apt/sources.list.d" "$work/src"
: >"$work/apt/sources.list"
echo "$source_stanza" >"$work/apt/sources.list.d/debian.sources"
mirror=$(sed -n 's/^URIs: //p' <<<"$source_stanza")
suite=$(sed -n 's/^Suites: //p' <<<"$source_stanza")

apt_options=(
  -o "Dir::Etc::sourcelist=$work/apt/sources.list"
  -o "Dir::Etc::sourceparts=$work/apt/sources.list.d"
  -o "Dir::State::Lists=$work/apt/lists"
  -o "Dir::Cache=$work/apt/cache"
  -o "Debug::NoLocking=1"
  -qq
  -o "APT::Sandbox::User=$(id -un)"
)
echo "build-windows-deps: jsoncpp's Debian source from $mirror $suite"
apt-get "${apt_options[@]}" update
# Each file of the source package with its SHA256 from the Sources index,
# whose signature apt checked.
files=$(apt-get "${apt_options[@]}" source --print-uris libjsoncpp)
dsc=$(awk '$2 ~ /\.dsc$/ { print $2 }' <<<"$files")
package=${dsc%.dsc}
package=${package/_/ }
read -r orig orig_hash <<<"$(
  awk '$2 ~ /\.orig\.tar\.[a-z0-9]+$/ { print $2, $4 }' <<<"$files")"
# A mirror may serve only part of the package (one has answered 404 for a
# release's .dsc and Debian changes while serving the upstream tarball);
# then the upstream tarball alone, once its checksum matches the signed index.
cd "$work/src"
if apt-get "${apt_options[@]}" source --download-only libjsoncpp; then
  dpkg-source -x "$dsc" jsoncpp >dpkg-source.log 2>&1 ||
    { cat dpkg-source.log >&2; exit 1; }
  built="Debian's source package $package"
else
  echo "build-windows-deps: $package did not come whole; checking its" \
    "upstream tarball against the signed index"
  if [ "${orig_hash%%:*}" != SHA256 ] ||
    ! sha256sum --check --quiet <<<"${orig_hash#SHA256:}  $orig"; then
    echo "build-windows-deps: $package came neither whole nor as an" \
      "upstream tarball that matches its SHA256 in the signed index" >&2
    exit 1
  fi
  mkdir jsoncpp
  tar -xf "$orig" -C jsoncpp --strip-components=1
  built="$orig, the upstream tarball of $package, without Debian's changes"
fi
cd - >/dev/null

configure_and_install() {
  local source=$1 build=$2
  shift 2
  cmake -S "$source" -B "$build" -G Ninja \
    "-DCMAKE_TOOLCHAIN_FILE=$toolchain" -DCMAKE_BUILD_TYPE=Release \
    "-DCMAKE_INSTALL_PREFIX=$prefix" "$@" >/dev/null
  cmake --build "$build" --target install >/dev/null
}
echo "build-windows-deps: building jsoncpp and GoogleTest for Windows"
configure_and_install "$work/src/jsoncpp" "$work/jsoncpp-build" \
  -DJSONCPP_WITH_TESTS=OFF -DJSONCPP_WITH_POST_BUILD_UNITTEST=OFF \
  -DJSONCPP_WITH_PKGCONFIG_SUPPORT=OFF -DBUILD_SHARED_LIBS=OFF \
  -DBUILD_STATIC_LIBS=ON -DBUILD_OBJECT_LIBS=OFF
configure_and_install /usr/src/googletest "$work/googletest-build" \
  -Dgtest_disable_pthreads=OFF
mkdir -p "$prefix/include" "$prefix/share/cmake"
cp -R /usr/include/nlohmann "$prefix/include/"
cp -R /usr/share/cmake/nlohmann_json "$prefix/share/cmake/"
echo "build-windows-deps: jsoncpp for Windows built from $built"
touch "$prefix/.complete"
