#!/bin/sh
# Builds Pathwick and runs every test: the unit, render, tool and end-to-end
# tests and the Debian package's (built with cpack, unpacked into a scratch
# folder, validated and started from its menu entry), then the unit and render
# tests again under AddressSanitizer and UndefinedBehaviorSanitizer, then the
# fuzz targets over their corpora and for a short session each; then builds
# the browser version and tests it in headless Chromium against frames that
# the first build's pathwick-record draws; then
# cross-builds the Windows program with MinGW-w64 and runs its end-to-end
# tests under Wine.
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
# for 20 seconds with new inputs kept in build-fuzz/fuzz-scratch/.
echo "== Fuzz targets =="
cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DPATHWICK_FUZZ=ON -DPATHWICK_DESKTOP=OFF \
  -DPATHWICK_TESTS=OFF >/dev/null
cmake --build build-fuzz -j"$jobs" --target fuzz_map fuzz_bmp
ctest --test-dir build-fuzz --output-on-failure -j"$jobs" -L fuzz

echo "== Browser build and test =="
sh scripts/web.sh --build-only
ctest --test-dir build-emscripten --output-on-failure -L web

echo "== Windows cross build and Wine tests =="
cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-w64.cmake --no-warn-unused-cli \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-windows -j"$jobs" --target pathwick pathwick-maze glyph-lists-test
ctest --test-dir build-windows --output-on-failure -L wine
