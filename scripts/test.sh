#!/usr/bin/env bash
# Builds everything and runs every test: the normal build (all suites, windows on the
# offscreen platform), then an AddressSanitizer + UndefinedBehaviorSanitizer build of
# the suites that need no window.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

# Every C++ file as clang-format writes it with the project's .clang-format.
scripts/check-format.sh

jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"
# The Debian package: built, listed, installed, run from /usr/bin and removed again.
scripts/test-package.sh build

# The Windows build: velmora-cli.exe and the core, Win32-backend and companion suites,
# cross-built with mingw-w64 and run under Wine in a throw-away prefix. A machine where
# Wine cannot start fails here, loudly.
windows_start=$SECONDS
rm -rf build-win/wineprefix build-win/wineprefix.lock build-win/wineprefix.boot.log
cmake -S . -B build-win -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DVELMORA_LINUX_CLI="$PWD/build/bin/velmora-cli"
cmake --build build-win -j "$jobs"
windows_status=0
ctest --test-dir build-win --output-on-failure -j "$jobs" || windows_status=$?
WINEPREFIX="$PWD/build-win/wineprefix" wineserver -k 2>/dev/null || true
echo "Windows build and tests under Wine: $((SECONDS - windows_start)) s"
if [ "$windows_status" -ne 0 ]; then
  echo "The Windows suites under Wine failed." >&2
  exit "$windows_status"
fi

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELMORA_GUI=OFF -DVELMORA_SANITIZE=ON
cmake --build build-asan -j "$jobs"
# The 4 GiB Zip64 round trip runs once, in the normal build: it takes minutes and
# exercises the same code as the smaller archives that run here. The round trip with the
# Windows compatibility layer (half a minute for its first start) also runs there only.
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs" \
  -E 'Zip64BySizeInBothDirections|PeerAttributes.CompatibilityLayerAndWeAgree'

