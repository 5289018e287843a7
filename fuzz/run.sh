#!/usr/bin/env bash
# Builds the fuzz targets with Clang into build-fuzz/ and runs each over its corpus in
# fuzz/corpus/<target>/, then fuzzes it for the given number of seconds (default 30). New inputs
# go to a scratch folder, never into the repository. Installs Clang and its sanitizer runtime
# (apt-get, through sudo when not root) when they are missing.
#
#   fuzz/run.sh [seconds] [target…]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

readonly seconds=${1:-30}
shift || true
readonly packages=(clang libclang-rt-14-dev)

missing=()
for package in "${packages[@]}"; do
    if [[ "$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null)" != installed ]]; then
        missing+=("$package")
    fi
done
if ((${#missing[@]} > 0)); then
    echo "Installing: ${missing[*]}"
    sudo=()
    ((EUID == 0)) || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
fi

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DBRIMLET_BUILD_FUZZ=ON -DBRIMLET_BUILD_TESTS=OFF -DBRIMLET_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz --target fuzz_targets -j "$(nproc)"

targets=("$@")
if ((${#targets[@]} == 0)); then
    for corpus in fuzz/corpus/*/; do
        targets+=("$(basename "$corpus")")
    done
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for target in "${targets[@]}"; do
    echo "== $target: its corpus, then ${seconds} s of fuzzing"
    mkdir -p "$scratch/$target"
    status=0
    build-fuzz/fuzz/"${target}_fuzz" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$scratch/$target-" "$scratch/$target" "fuzz/corpus/$target" \
        >"$scratch/$target.log" 2>&1 || status=$?
    grep -E '^(#[0-9]+\s+DONE|stat::number_of_executed_units|stat::peak_rss_mb)' \
        "$scratch/$target.log" || true
    if ((status != 0)); then
        tail -n 60 "$scratch/$target.log" >&2
        echo "$target: a finding (status $status)" >&2
        exit 1
    fi
done
