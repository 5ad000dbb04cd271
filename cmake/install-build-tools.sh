#!/usr/bin/env bash
# Installs what building, testing and playing need, from Debian's packages: CMake and the
# compiler, JDK 17 (jni.h and the local host), GoogleTest and Google Benchmark. Packages already
# installed are left alone, so on a prepared machine this does nothing and costs nothing.
#
# Exits non-zero if something is missing and cannot be installed (no root, no sudo).
set -euo pipefail

packages=(cmake g++ make binutils openjdk-17-jdk-headless libpicocli-java parallel
          libgtest-dev libgmock-dev
          libbenchmark-dev)
if ! command -v dpkg-query >/dev/null; then
    echo "install-build-tools: not a Debian system; make sure these are installed: ${packages[*]}"
    exit 0
fi
. "$(dirname "$0")/debian-packages.sh"
install_missing install-build-tools "${packages[@]}"
