#!/usr/bin/env bash
# Sets up a Debian 12 machine for Tallyweave, builds it, and then either starts the program
# (./go run) or runs every test (./go test).
set -euo pipefail
cd "$(dirname "$0")"

# What building and running the two programs need.
run_packages=(cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev libcurl4-openssl-dev nlohmann-json3-dev
              libgumbo-dev libsqlite3-dev)
# What the tests, the benchmarks and the package checks need besides.
test_packages=(libgtest-dev libgmock-dev libbenchmark-dev libcpp-httplib-dev libcsv-dev dbus-daemon xvfb xauth
               xdotool imagemagick nginx-light time curl jq dpkg-dev lintian desktop-file-utils mandoc man-db
               chromium)

install_missing() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if ((${#missing[@]})); then
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
  fi
}

case "${1:-run}" in
  run)
    install_missing "${run_packages[@]}"
    # A build folder of its own: without the test libraries the tests cannot be configured.
    cmake -S . -B build-run -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALLYWEAVE_TESTS=OFF -DTALLYWEAVE_BENCH=OFF
    cmake --build build-run -j"$(nproc)"
    exec ./build-run/app/tallyweave
    ;;
  test)
    install_missing "${run_packages[@]}" "${test_packages[@]}"
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build build -j"$(nproc)"
    cd build
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)"
    ;;
  *)
    echo "usage: ./go [run|test]" >&2
    exit 2
    ;;
esac
