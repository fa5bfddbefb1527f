#!/bin/sh
# Brings a Debian machine (bookworm or newer) to the point where Morvik builds
# and its tests run. Installs only what is missing, so a second run is quick.
set -eu

if [ "$(id -u)" -eq 0 ]; then SUDO=""; else SUDO="sudo"; fi

PACKAGES="build-essential cmake ninja-build pkg-config libgtest-dev googletest
libfltk1.3-dev libxft-dev libfontconfig1-dev fontconfig fonts-dejavu-core
xvfb xdotool x11-utils pulseaudio pulseaudio-utils
ca-certificates"

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
        missing="$missing $p"
    fi
done

if [ -n "$missing" ]; then
    echo "setup: installing$missing"
    $SUDO apt-get update -qq
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $missing
fi

have_miniaudio() {
    dpkg-query -W -f='${Status}' libminiaudio-dev 2>/dev/null | grep -q "ok installed"
}

if ! have_miniaudio; then
    # Take it from the machine's own archive where it is there.
    if apt-cache show libminiaudio-dev >/dev/null 2>&1; then
        DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends libminiaudio-dev
    fi
fi

if ! have_miniaudio; then
    # Bookworm lacks the package: fetch that one .deb from the next release
    # through a throw-away apt configuration. The system's sources stay as
    # they are; lists and cache live in a temporary folder.
    tmp=$(mktemp -d)
    trap 'rm -rf "$tmp"' EXIT INT TERM
    uri=""
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] || continue
        uri=$(awk '/^URIs:/ { for (i = 2; i <= NF; i++) if ($i ~ /debian\/?$/ && $i !~ /security/) { print $i; exit } }' "$f")
        [ -n "$uri" ] && break
    done
    if [ -z "$uri" ] && [ -f /etc/apt/sources.list ]; then
        uri=$(awk '$1 == "deb" { for (i = 2; i <= NF; i++) if ($i ~ /^(https?|file):/ && $i ~ /debian\/?$/ && $i !~ /security/) { print $i; exit } }' /etc/apt/sources.list)
    fi
    [ -n "$uri" ] || uri="http://deb.debian.org/debian"
    mkdir -p "$tmp/lists/partial" "$tmp/cache/archives/partial" "$tmp/parts" "$tmp/deb"
    echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $uri trixie main" > "$tmp/sources.list"
    opts="-o Dir::Etc::SourceList=$tmp/sources.list -o Dir::Etc::SourceParts=$tmp/parts
          -o Dir::State::Lists=$tmp/lists -o Dir::Cache=$tmp/cache
          -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache= -o APT::Sandbox::User=root"
    echo "setup: fetching libminiaudio-dev from trixie ($uri)"
    # shellcheck disable=SC2086
    apt-get $opts update -qq
    # shellcheck disable=SC2086
    (cd "$tmp/deb" && apt-get $opts download libminiaudio-dev)
    $SUDO dpkg -i "$tmp"/deb/libminiaudio-dev_*.deb
    rm -rf "$tmp"
    trap - EXIT INT TERM
fi

echo "setup: all build and test dependencies present"
