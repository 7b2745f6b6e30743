#!/bin/sh
# Builds Pathwick and runs every test: the unit, render, tool and end-to-end
# tests and the Debian package's (built with cpack, unpacked into a scratch
# folder, validated and started from its menu entry), then the unit and render
# tests again under AddressSanitizer and UndefinedBehaviorSanitizer; then
# builds the browser version and tests it in headless Chromium against frames
# that the first build's pathwick-record draws, while beside it the fuzz
# targets run over their corpora and for a short session each; then
# cross-builds the Windows program with MinGW-w64 and runs its end-to-end
# tests under Wine. docs/DEVELOPING.md says where the time goes.
set -eu
cd "$(dirname "$0")/.."

scripts/install-deps.sh
jobs="$(nproc)"

echo "== Build and test =="
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DPATHWICK_TESTS=ON >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== Sanitizer build and test =="
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DPATHWICK_SANITIZE=ON >/dev/null
# Everything is built, so that no unit test is left out unnoticed.
cmake --build build-asan -j"$jobs"
ctest --test-dir build-asan --output-on-failure -j"$jobs" -L unit

# The libFuzzer targets (clang): each over its checked-in corpus, then fuzzed
# for 20 seconds with new inputs kept in build-fuzz/fuzz-scratch/. They run
# beside the browser stage, whose build and test leave room: the sessions
# take their 20 seconds whatever else runs. Their output is kept aside and
# shown after the browser stage's; either failing fails the command. (Not
# beside the Wine stage, whose tests time frames and processor shares.)
echo "== Fuzz targets (beside the browser stage; output below) =="
fuzz_log="$(mktemp)"
(
  set -e
  cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DPATHWICK_FUZZ=ON \
    -DPATHWICK_DESKTOP=OFF -DPATHWICK_TESTS=OFF >/dev/null
  cmake --build build-fuzz -j"$jobs" --target fuzz_map fuzz_bmp
  ctest --test-dir build-fuzz --output-on-failure -j"$jobs" -L fuzz
) >"$fuzz_log" 2>&1 &
fuzz_job=$!
# Should the browser stage fail, the fuzz stage still ends before the command.
trap 'wait "$fuzz_job" 2>/dev/null || true; rm -f "$fuzz_log"' EXIT

echo "== Browser build and test =="
sh scripts/web.sh --build-only
ctest --test-dir build-emscripten --output-on-failure -L web

echo "== Fuzz targets: output =="
fuzz_status=0
wait "$fuzz_job" || fuzz_status=$?
cat "$fuzz_log"
if [ "$fuzz_status" -ne 0 ]; then
  echo "the fuzz targets failed (status $fuzz_status)" >&2
  exit 1
fi

echo "== Windows cross build and Wine tests =="
cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-w64.cmake --no-warn-unused-cli \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-windows -j"$jobs" --target pathwick pathwick-maze glyph-lists-test pointer-capture-test
ctest --test-dir build-windows --output-on-failure -j"$jobs" -L wine
