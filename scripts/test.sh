#!/bin/sh
# Sets up the machine, builds the normal and the sanitizer build, and runs
# every test of both inside a private X server and sound server.
set -eu
cd "$(dirname "$0")/.."
./scripts/setup.sh
for preset in default asan; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done
exec ./scripts/with-test-session.sh sh -c 'ctest --preset default -j2 && ctest --preset asan -j2'
