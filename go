#!/usr/bin/env bash
# Sets up a Debian 12 machine for Tallyweave, builds it, and then either starts the program
# (./go run) or runs every test (./go test).
set -euo pipefail
cd "$(dirname "$0")"

packages=(cmake ninja-build g++ pkg-config qt6-base-dev libcurl4-openssl-dev libgtest-dev
          libgmock-dev libbenchmark-dev libcpp-httplib-dev nlohmann-json3-dev libgumbo-dev libcsv-dev
          libsqlite3-dev dbus-daemon libgl-dev xvfb xauth xdotool imagemagick nginx-light time curl
          dpkg-dev lintian desktop-file-utils mandoc man-db)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"

case "${1:-run}" in
  run)
    exec ./build/app/tallyweave
    ;;
  test)
    cd build
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)"
    ;;
  *)
    echo "usage: ./go [run|test]" >&2
    exit 2
    ;;
esac
