#!/bin/sh
# Makes the README's recording, docs/search.gif: the shipped maze's whole
# search in the framed layout at 420 x 420, every second frame kept and shown
# for 20 ms, so that it plays at 100 frames a second, the speed setting the
# program starts with.
#
#   tools/make_recording.sh [BUILD_DIR]   (default: build)
#
# sh scripts/install-deps.sh run installs what pathwick-record needs.
set -eu
cd "$(dirname "$0")/.."
build_dir=${1:-build}
output=docs/search.gif
# The README shows the recording from the repository: keep it small.
max_bytes=3000000

cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build_dir" -j"$(nproc)" --target pathwick-record

recorder=$(cd "$build_dir" && pwd)/pathwick-record
(cd data && "$recorder" --size 420 --every 2 --delay 20 ../"$output")

bytes=$(wc -c <"$output")
echo "$output: $bytes bytes"
if [ "$bytes" -ge "$max_bytes" ]; then
  echo "make_recording.sh: $output is over $max_bytes bytes; keep fewer frames (--every)" >&2
  exit 1
fi
