#!/bin/sh
# Builds Pathwick and runs every test: the unit, render, tool and end-to-end
# tests, then the unit and render tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer; then cross-builds the Windows program with
# MinGW-w64 and runs its end-to-end tests under Wine.
set -eu
cd "$(dirname "$0")/.."

scripts/install-deps.sh
jobs="$(nproc)"

echo "== Build and test =="
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== Sanitizer build and test =="
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DPATHWICK_SANITIZE=ON >/dev/null
cmake --build build-asan -j"$jobs" --target explorer_tests bmp_tests app_tests render_tests pathwick-trace
ctest --test-dir build-asan --output-on-failure -j"$jobs" -L unit

echo "== Windows cross build and Wine tests =="
cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-w64.cmake --no-warn-unused-cli \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-windows -j"$jobs" --target pathwick
ctest --test-dir build-windows --output-on-failure -L wine
