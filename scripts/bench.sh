#!/bin/sh
# Measures, in one run, Morvik's side-tone and key-line timing beside
# Debian's cw (unixcw) sending the same text, Morvik's processor time while
# idle and while a timed run waits, and its start-up time and memory; prints
# one table. Takes about four minutes; run it on an otherwise quiet machine.
#   scripts/bench.sh
set -eu
cd "$(dirname "$0")/.."
./scripts/setup.sh

if [ "$(id -u)" -eq 0 ]; then SUDO=""; else SUDO="sudo"; fi
if ! dpkg-query -W -f='${Status}' cw 2>/dev/null | grep -q "ok installed"; then
    echo "bench: installing cw, the peer"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends cw
fi

cmake --preset default >/dev/null
# The program and the bench only: the tests are not needed here.
cmake --build --preset default --target morvik morvik_bench
echo "bench: measuring (load average now: $(cut -d' ' -f1-3 /proc/loadavg))"
exec ./scripts/with-test-session.sh "$(pwd)/build/default/bench/morvik_bench" "$(pwd)/build/default/morvik"
