#!/usr/bin/env bash
# Installs what building, testing and playing need, from Debian's packages: CMake and the
# compiler, JDK 17 (jni.h and the local host), GoogleTest, JUnit 5 (the host's Java tests, run
# by its console launcher) and Google Benchmark, clang with its
# runtime libraries (libFuzzer and the sanitizers, in libclang-rt-14-dev) for the fuzz target, a
# font for the host's pictures, bubblewrap and libseccomp for each robot's sandbox, cmark-gfm to
# render the documentation's HTML, and Chromium and Node.js for the replay page's browser tests.
# Packages already installed are left alone, so on a prepared machine this does nothing and
# costs nothing.
#
# Exits non-zero if something is missing and cannot be installed (no root, no sudo).
set -euo pipefail

packages=(cmake g++ make binutils openjdk-17-jdk-headless libgtest-dev libgmock-dev
          libbenchmark-dev clang-14 libclang-rt-14-dev fonts-dejavu-core chromium
          libpicocli-java junit5 parallel bubblewrap libseccomp-dev cmark-gfm)
# Node.js and npm, unless the machine already has them from elsewhere (Debian's npm package
# would conflict with a Node.js that bundles its own npm).
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
    packages+=(nodejs npm)
fi
if ! command -v dpkg-query >/dev/null; then
    echo "install-build-tools: not a Debian system; make sure these are installed: ${packages[*]}"
    exit 0
fi
. "$(dirname "$0")/debian-packages.sh"
install_missing install-build-tools "${packages[@]}"
