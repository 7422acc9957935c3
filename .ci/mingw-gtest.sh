#!/usr/bin/env bash
# Builds GoogleTest from the sources that Debian's googletest package ships
# and installs it into the mingw-w64 sysroot, where the Windows build's
# find_package(GTest) looks.  Does nothing when it is there already.
set -euo pipefail
sysroot=/usr/x86_64-w64-mingw32
[ -f "$sysroot/lib/cmake/GTest/GTestConfig.cmake" ] && exit 0
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake -S /usr/src/googletest -B "$work" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$sysroot" \
  -DCMAKE_CXX_FLAGS="-static" -Dgtest_disable_pthreads=OFF > /dev/null
cmake --build "$work" -j2 > /dev/null
cmake --install "$work" > /dev/null
