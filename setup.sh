#!/usr/bin/env bash
# Brimlet set-up for Debian 12 and Ubuntu 22.04 or later. Installs what is missing (apt-get,
# through sudo when not root), builds, then starts Brimlet or runs the whole test suite.
#
#   ./setup.sh start            build and start Brimlet (a copy already running is restarted)
#   ./setup.sh test             build the test configuration and run every test
#   ./setup.sh test --sanitize  the same under AddressSanitizer and UBSan, in build-asan/
#
# Both are safe to run again: nothing is installed twice and an unchanged tree builds in seconds.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"

# The fake usage service of the tests listens here; the test builds ask it instead of the real one.
readonly test_usage_url="http://127.0.0.1:47613/api/oauth/usage"
# fonts-nanum: the menu is Korean, and without a Korean font it shows boxes. qt6-wayland: Wayland
# sessions without XWayland.
readonly packages=(cmake ninja-build g++ ccache qt6-base-dev qt6-qpa-plugins qt6-wayland
    libgtest-dev libgmock-dev libbenchmark-dev dbus fonts-nanum)
# The test in a real tray host: xfce4-panel under Xvfb, screenshots and clicks.
readonly host_test_packages=(xvfb xfce4-panel dbus-x11 imagemagick xdotool python3 iproute2
    util-linux)

usage() {
    echo "usage: $0 start | test [--sanitize]" >&2
    exit 2
}

install_missing() {
    local missing=()
    for package in "$@"; do
        if [[ "$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null)" != installed ]]; then
            missing+=("$package")
        fi
    done
    ((${#missing[@]} == 0)) && return
    echo "Installing: ${missing[*]}"
    local sudo=()
    ((EUID == 0)) || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
}

build() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$dir" -j "$(nproc)"
}

start() {
    build build -DBRIMLET_BUILD_TESTS=OFF -DBRIMLET_BUILD_BENCH=OFF
    local program
    program="$(pwd)/build/brimlet"
    pkill -x -f "$program" 2>/dev/null && sleep 0.5 || true
    if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
        echo "Built $program, but there is no graphical session here: start it from your desktop."
        return
    fi
    setsid "$program" </dev/null >/dev/null 2>&1 &
    echo "Brimlet is running (pid $!): look for the gauge in your panel's tray."
}

run_tests() {
    local dir=build-test flags=(-DBRIMLET_WERROR=ON)
    if [[ "${1:-}" == --sanitize ]]; then
        dir=build-asan
        flags+=(-DBRIMLET_SANITIZE=ON -DBRIMLET_BUILD_BENCH=OFF)
    elif [[ -n "${1:-}" ]]; then
        usage
    fi
    build "$dir" -DBRIMLET_USAGE_URL="$test_usage_url" "${flags[@]}"
    ctest --test-dir "$dir" --output-on-failure -j "$(nproc)"
}

case "${1:-}" in
    start) install_missing "${packages[@]}" && start ;;
    test) install_missing "${packages[@]}" "${host_test_packages[@]}" && run_tests "${2:-}" ;;
    *) usage ;;
esac
