#!/usr/bin/env bash
# Brimlet set-up for Debian 12 and Ubuntu 22.04 or later. Installs what is missing (apt-get,
# through sudo when not root), builds, then starts Brimlet, runs the whole test suite or makes the
# Debian package.
#
#   ./setup.sh start            build and start Brimlet (a copy already running is restarted)
#   ./setup.sh test             build the test configuration and run every test
#   ./setup.sh test --sanitize  the same under AddressSanitizer and UBSan, in build-asan/
#   ./setup.sh package          build the Release package build-package/brimlet_<version>_<arch>.deb
#   ./setup.sh package --check  the same, then check the package as CI does
#
# All are safe to run again: nothing is installed twice and an unchanged tree builds in seconds.
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
# CPack's Debian generator computes the dependencies with dpkg-shlibdeps, which needs file.
readonly package_tools=(dpkg-dev file)
# What packaging/check-package.sh runs: the validators, man, and a stand-in usage service.
readonly check_tools=(desktop-file-utils appstream man-db python3)

usage() {
    echo "usage: $0 start | test [--sanitize] | package [--check]" >&2
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
    local dir=$1 type=$2
    shift 2
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" "$@" >/dev/null
    cmake --build "$dir" -j "$(nproc)"
}

start() {
    build build RelWithDebInfo -DBRIMLET_BUILD_TESTS=OFF -DBRIMLET_BUILD_BENCH=OFF
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
    build "$dir" RelWithDebInfo -DBRIMLET_USAGE_URL="$test_usage_url" "${flags[@]}"
    ctest --test-dir "$dir" --output-on-failure -j "$(nproc)"
}

# The release package always asks the real usage service (-U drops a URL left in the cache) and is
# built with Debian's hardening flags; its debug information is left out, the binary stripped.
package() {
    local check=$1
    local -x DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CXXFLAGS_MAINT_STRIP=-g
    build build-package Release -UBRIMLET_USAGE_URL -DBRIMLET_BUILD_TESTS=OFF \
        -DBRIMLET_BUILD_BENCH=OFF \
        -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
        -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)"
    rm -f build-package/brimlet_*.deb
    (cd build-package && cpack >/dev/null)
    local deb
    deb=$(echo build-package/brimlet_*.deb)
    echo "Built $deb: install it with  sudo apt install ./$deb"
    [[ -z "$check" ]] || packaging/check-package.sh "$deb"
}

case "${1:-}" in
    start) install_missing "${packages[@]}" && start ;;
    test) install_missing "${packages[@]}" "${host_test_packages[@]}" && run_tests "${2:-}" ;;
    package)
        [[ -z "${2:-}" || "$2" == --check ]] || usage
        install_missing "${packages[@]}" "${package_tools[@]}" ${2:+"${check_tools[@]}"} &&
            package "${2:-}"
        ;;
    *) usage ;;
esac
