#!/usr/bin/env bash
# Installs what building, testing and playing need, from Debian's packages: CMake and the
# compiler, JDK 17 (jni.h and the local host), GoogleTest and Google Benchmark. Packages already
# installed are left alone, so on a prepared machine this does nothing and costs nothing.
#
# Exits non-zero if something is missing and cannot be installed (no root, no sudo).
set -euo pipefail

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

packages=(cmake g++ make binutils openjdk-17-jdk-headless libgtest-dev libgmock-dev
          libbenchmark-dev)
if ! command -v dpkg-query >/dev/null; then
    echo "install-build-tools: not a Debian system; make sure these are installed: ${packages[*]}"
    exit 0
fi
missing=()
for p in "${packages[@]}"; do
    installed "$p" || missing+=("$p")
done
if [ "${#missing[@]}" -eq 0 ]; then
    exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
    as_root() { "$@"; }
elif command -v sudo >/dev/null; then
    as_root() { sudo "$@"; }
else
    echo "install-build-tools: missing ${missing[*]}; installing needs root" >&2
    exit 1
fi
echo "install-build-tools: installing ${missing[*]}"
as_root apt-get update -qq
as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
