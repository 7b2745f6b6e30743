#!/bin/sh
# Builds Pathwick and starts it in the data folder, which holds MazeMap.txt
# and Stone.BMP. Arguments are passed on to the program (try --help); the
# files named by --map and --texture are found where the caller stands.
set -eu
caller_dir=$PWD
cd "$(dirname "$0")/.."

# Sets `resolved` to FILE as named from the caller's folder: a relative name
# would otherwise be looked up in data/. An empty name stays empty.
resolve_from_caller() {
  case $1 in
    '' | /*) resolved=$1 ;;
    *) resolved=$caller_dir/$1 ;;
  esac
}

# Rewrites the arguments in place, in both forms "--map FILE" and
# "--map=FILE" (and the same for --texture); the others pass unchanged.
remaining=$#
file_follows=false
while [ "$remaining" -gt 0 ]; do
  arg=$1
  shift
  remaining=$((remaining - 1))
  if $file_follows; then
    resolve_from_caller "$arg"
    arg=$resolved
    file_follows=false
  else
    case $arg in
      --map | --texture) file_follows=true ;;
      --map=* | --texture=*)
        resolve_from_caller "${arg#*=}"
        arg=${arg%%=*}=$resolved
        ;;
    esac
  fi
  set -- "$@" "$arg"
done

scripts/install-deps.sh run
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DPATHWICK_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)" --target pathwick pathwick-trace pathwick-record pathwick-maze

cd data
exec ../build/pathwick "$@"
