#!/usr/bin/env bash
# Runs a Windows cross build's CTest suites under Wine, in a throw-away Wine prefix.
#
#   cmake/wine-ctest.sh <build-dir> [ctest arguments...]
#
# Console programs only: no display, no Wine debug chatter. Mono and Gecko are switched off so
# Wine never offers to fetch them. One wineserver serves the whole run, so the slow first start
# happens once.
set -euo pipefail

if [ $# -lt 1 ]; then
    echo "usage: $0 <build-dir> [ctest arguments...]" >&2
    exit 2
fi
build=$1
shift
if ! command -v wine >/dev/null || ! command -v wineserver >/dev/null; then
    echo "wine-ctest: wine is not installed (cmake/install-win32-tools.sh installs it)" >&2
    exit 2
fi

WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/touchline-wine.XXXXXX")
export WINEPREFIX
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export DISPLAY=
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
}
trap cleanup EXIT

start=$(date +%s)
wineserver -p
# A failed first start shows up as failing tests, not here.
wineboot -i >/dev/null 2>&1 || true
echo "wine-ctest: $(wine --version) prefix ready in $(($(date +%s) - start)) s"

ctest --test-dir "$build" --output-on-failure "$@"
