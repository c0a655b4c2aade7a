#!/usr/bin/env bash
# Set-up for a Debian 12 machine (run as root). Idempotent.
#   scripts/setup.sh run   install, build, and play the default table
#   scripts/setup.sh test  install, build, and run every test (also ASan+UBSan)
#   scripts/setup.sh deps  only install the packages
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
  build-essential cmake pkg-config
  liblua5.1-0-dev libode-dev libsdl2-dev libsdl2-mixer-dev
  libgl1-mesa-dev libglu1-mesa-dev libgl1-mesa-dri libstb-dev
  libtinyxml2-dev nlohmann-json3-dev
  libgtest-dev libgmock-dev
  xvfb xauth xdotool x11-utils libxdamage-dev
  clang libclang-rt-14-dev clang-format
  dpkg-dev desktop-file-utils man-db
)

# Only the tests need these: the Tiled map editor writes the maps they pack,
# lintian and appstreamcli check the package as Debian and the software
# centres read it.
TEST_PACKAGES=(tiled lintian appstream)

install() {  # install <package>...
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if ((${#missing[@]})); then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
  fi
}

deps() { install "${PACKAGES[@]}"; }

jobs=$(nproc)

build() {  # build <dir> [cmake options...]
  local dir=$1; shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

case "${1:-run}" in
  deps) deps ;;
  run)
    deps
    build build
    cd build && exec ./orvane default -windowed
    ;;
  test)
    deps
    install "${TEST_PACKAGES[@]}"
    # Every C/C++ file as .clang-format lays it out; the tests still run.
    bash scripts/check_format.sh || format_failed=1
    build build
    build build-asan -DORVANE_SANITIZE=ON -DORVANE_BENCH=OFF
    # A short fuzz run of the file loaders; tests/fuzz/run.sh 600 is the long one.
    ORVANE_JOBS=$jobs bash tests/fuzz/run.sh 30 || fuzz_failed=1
    # LeakSanitizer is on; the tests' environment names the suppressions for
    # libraries that keep blocks until exit (tests/e2e/lsan.supp).
    export UBSAN_OPTIONS=print_stacktrace=1
    (cd build-asan && ctest -j "$jobs" --output-on-failure) || asan_failed=1
    cd build && ctest -j "$jobs" --output-on-failure
    [ -z "${asan_failed:-}${fuzz_failed:-}${format_failed:-}" ]
    ;;
  *) echo "usage: $0 [run|test|deps]" >&2; exit 2 ;;
esac
