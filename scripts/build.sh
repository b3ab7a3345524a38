#!/usr/bin/env bash
# Builds tapewing.exe and the Windows tests (cross, i686) and the platform-free tests (native, with sanitizers).
#   BUILD_DIR  where to build (default: build/ in the repository)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
jobs="$(nproc)"

cmake -S "$root" -B "$build/win32" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$build/win32" -j"$jobs"
if [ "${TAPEWING_NATIVE:-1}" = 1 ]; then
  cmake -S "$root" -B "$build/native" -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-omit-frame-pointer" >/dev/null
  cmake --build "$build/native" -j"$jobs"
fi
