#!/usr/bin/env bash
# Installs what the 32-bit Windows build needs, from Debian's packages: the MinGW-w64 cross
# toolchain for i686, GoogleTest's sources and the JDK (for jni.h), and unless told otherwise
# Wine with its 32-bit part. Packages already installed are left alone, so a second run is quick.
#
#   cmake/install-win32-tools.sh            toolchain and Wine (running the tests)
#   cmake/install-win32-tools.sh --no-wine  toolchain only (building the DLLs)
#
# Exits non-zero if something could not be installed; the caller decides what that means.
set -euo pipefail

with_wine=1
if [ "${1:-}" = "--no-wine" ]; then
    with_wine=0
fi

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

packages=(g++-mingw-w64-i686 binutils-mingw-w64-i686 libgtest-dev openjdk-17-jdk-headless)
if [ "$with_wine" -eq 1 ]; then
    # wine32 is an i386 package, which dpkg accepts once i386 is a foreign architecture.
    packages+=(wine wine32:i386)
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
    echo "install-win32-tools: missing ${missing[*]}; installing needs root" >&2
    exit 1
fi

if [ "$with_wine" -eq 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "install-win32-tools: adding the i386 architecture"
    as_root dpkg --add-architecture i386
fi
echo "install-win32-tools: installing ${missing[*]}"
as_root apt-get update -qq
as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
