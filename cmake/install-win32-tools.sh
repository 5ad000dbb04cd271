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

. "$(dirname "$0")/debian-packages.sh"

# wine32 is an i386 package, which dpkg accepts once i386 is a foreign architecture.
add_i386() {
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        echo "install-win32-tools: adding the i386 architecture"
        as_root dpkg --add-architecture i386
    fi
}

packages=(g++-mingw-w64-i686 binutils-mingw-w64-i686 libgtest-dev openjdk-17-jdk-headless)
if [ "$with_wine" -eq 1 ]; then
    install_missing install-win32-tools --before add_i386 "${packages[@]}" wine wine32:i386
else
    install_missing install-win32-tools "${packages[@]}"
fi
