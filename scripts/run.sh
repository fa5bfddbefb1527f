#!/bin/sh
# Sets up the machine, builds Morvik and starts it. The settings file,
# morvik.cnf, is read from and written to the directory this is run from.
set -eu
here=$(pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
./scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default
cd "$here"
exec "$root/build/default/morvik"
