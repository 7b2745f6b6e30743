#!/bin/sh
# Builds Pathwick and starts it in the data folder, which holds MazeMap.txt
# and Stone.BMP. Arguments are passed on to the program (try --help).
set -eu
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target pathwick pathwick-trace

cd data
exec ../build/pathwick "$@"
