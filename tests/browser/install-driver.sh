#!/usr/bin/env bash
# Makes the browser tests' driver ready: puppeteer-core from the npm registry, at the version
# package-lock.json pins, installed into DIR (a folder of the build tree); the browser is Debian's
# chromium, installed by cmake/install-build-tools.sh. Nothing downloads a browser. Without
# Chromium, Node.js or npm this fails, loudly: the browser tests are never skipped in silence.
#
#   install-driver.sh SOURCE_DIR DIR CHROMIUM
set -euo pipefail
source_dir=$1
dir=$2
chromium=$3

fail() {
    echo "############################################################################"
    echo "### BROWSER TESTS CANNOT RUN: $1"
    echo "### Run 'bash cmake/install-build-tools.sh' (as root or with sudo) to install"
    echo "### Debian's chromium, nodejs and npm."
    echo "############################################################################"
    exit 1
}

[ -x "$chromium" ] || fail "no Chromium at $chromium"
command -v node >/dev/null || fail "no node (Node.js)"
command -v npm >/dev/null || fail "no npm"
"$chromium" --version

mkdir -p "$dir"
if cmp -s "$source_dir/package-lock.json" "$dir/installed-lock.json" &&
    [ -f "$dir/node_modules/puppeteer-core/package.json" ]; then
    echo "puppeteer-core is installed in $dir"
    exit 0
fi
cp "$source_dir/package.json" "$source_dir/package-lock.json" "$dir/"
(cd "$dir" && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error)
cp "$source_dir/package-lock.json" "$dir/installed-lock.json"
echo "puppeteer-core installed in $dir"
