#!/bin/sh
# Builds Pathwick for web browsers into build-web/, a static folder that any
# web server can host (index.html, pathwick.js and pathwick.wasm, with the
# shipped maze and texture built in, and a gzip copy of each beside it for
# servers that send precompressed files), and serves it at
# http://127.0.0.1:8080/ until interrupted, compressed for browsers that
# accept gzip.
#
#   web.sh               build and serve
#   web.sh --build-only  build only
set -eu
cd "$(dirname "$0")/.."

case "${1:-}" in
  '') serve=true ;;
  --build-only) serve=false ;;
  *)
    echo "usage: web.sh [--build-only]" >&2
    exit 2
    ;;
esac

scripts/install-deps.sh web
# emcc runs on Node and takes its JavaScript packages (acorn and others) from
# Debian's folder for them.
export NODE_PATH=/usr/share/nodejs
emcmake cmake -S . -B build-emscripten -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
cmake --build build-emscripten -j"$(nproc)"

if $serve; then
  echo "Pathwick in the browser: http://127.0.0.1:8080/ (Ctrl+C stops the server)"
  exec python3 scripts/serve_web.py build-web 8080
fi
