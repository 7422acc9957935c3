#!/usr/bin/env bash
# Makes vxrom's header-only libraries (CLI11, nlohmann-json), as Debian
# installs them for the host, visible to the Windows build: the toolchain
# file searches the mingw-w64 sysroot only, so links there point at their
# headers and CMake package files.  /usr/include itself is never added to
# the cross build's include path: it would shadow mingw's C headers.
set -euo pipefail
sysroot=/usr/x86_64-w64-mingw32
# place TARGET LINK: links LINK to TARGET unless something else is there.
place() {
  if [ -L "$2" ] || [ ! -e "$2" ]; then ln -sfn "$1" "$2"; fi
}
mkdir -p "$sysroot/include" "$sysroot/share/cmake"
place /usr/include/CLI "$sysroot/include/CLI"
place /usr/include/nlohmann "$sysroot/include/nlohmann"
# The package files find their headers relative to where they are read
# from: through these links, in the sysroot.
place /usr/share/cmake/CLI11 "$sysroot/share/cmake/CLI11"
place /usr/share/cmake/nlohmann_json "$sysroot/share/cmake/nlohmann_json"
