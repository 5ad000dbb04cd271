# Sourced by the install scripts: installs the Debian packages named, skipping those already
# installed, as root or through sudo.
#
#   install_missing <who> [--before <command>] <package>...
#
# --before names a command (run as root) needed before installing anything, e.g. adding an
# architecture. Returns non-zero if something is missing and cannot be installed.

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    else
        sudo "$@"
    fi
}

install_missing() {
    local who=$1 before=""
    shift
    if [ "${1:-}" = "--before" ]; then
        before=$2
        shift 2
    fi
    local missing=() p
    for p in "$@"; do
        installed "$p" || missing+=("$p")
    done
    [ "${#missing[@]}" -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ] && ! command -v sudo >/dev/null; then
        echo "$who: missing ${missing[*]}; installing needs root" >&2
        return 1
    fi
    if [ -n "$before" ]; then
        $before || return 1
    fi
    echo "$who: installing ${missing[*]}"
    as_root apt-get update -qq || return 1
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
}
