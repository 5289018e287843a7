#!/usr/bin/env bash
# Checks a built Brimlet package: exactly the files of contents.txt, the dependencies, one version
# throughout, clean validators and manual page, and a self-test of the program installed into a
# scratch root. A program built to ask the loopback usage service (the test build) gets a
# stand-in service here and must print the quota; any other runs signed out, so it never asks
# the real service.
#
#   packaging/check-package.sh <package.deb>
set -euo pipefail
deb=$(realpath "$1")
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
scratch=$(mktemp -d)
server=""
trap '[[ -n $server ]] && kill "$server" 2>/dev/null; rm -rf "$scratch"' EXIT
fail() {
    echo "check-package: $*" >&2
    exit 1
}

# Files with their modes and owner, then directories: only those that hold the files.
dpkg-deb -c "$deb" | awk '{ sub(/^\./, "", $6); print $6, $1, $2 }' | LC_ALL=C sort >"$scratch/all"
grep -v ' d' "$scratch/all" | diff -u "$here/contents.txt" - ||
    fail "files differ from packaging/contents.txt"
awk '{ while (sub(/[^\/]+\/?$/, "", $1) && $1 != "/") print $1 }' "$here/contents.txt" |
    LC_ALL=C sort -u | sed 's|$| drwxr-xr-x root/root|' >"$scratch/folders"
grep ' d' "$scratch/all" | diff -u "$scratch/folders" - || fail "folders differ"

field() { dpkg-deb -f "$deb" "$1"; }
[[ ", $(field Depends)," == *", dbus,"* && $(field Depends) == *libqt6core6* ]] ||
    fail "Depends: $(field Depends)"
[[ $(field Recommends) == fonts-nanum ]] || fail "Recommends: $(field Recommends)"
version=$(field Version)
[[ $(dpkg-parsechangelog -l "$here/changelog" -S Version) == "$version" ]] ||
    fail "packaging/changelog has no entry for $version on top"

root="$scratch/root"
dpkg -x "$deb" "$root"
share="$root/usr/share"
metainfo="$share/metainfo/com.zorvan.brimlet.metainfo.xml"
[[ $(grep -om1 '<release version="[^"]*"' "$metainfo") == "<release version=\"$version\"" ]] ||
    fail "the metainfo's latest release is not $version"
issues=$(desktop-file-validate "$share/applications/com.zorvan.brimlet.desktop" 2>&1) &&
    [[ -z $issues ]] || fail "desktop-file-validate: $issues"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate failed"
issues=$(MANWIDTH=80 man --warnings -l "$share/man/man1/brimlet.1.gz" 2>&1 >/dev/null) &&
    [[ -z $issues ]] || fail "man: $issues"

home="$scratch/home"
mkdir -p "$home"
program="$root/usr/bin/brimlet"
expected="잔량 실패 — 자격 증명 파일에서 토큰을 못 읽음"
if grep -qF "http://127.0.0.1:47613/api/oauth/usage" "$program"; then
    mkdir -p "$home/.claude" "$scratch/service/api/oauth"
    echo '{"claudeAiOauth": {"accessToken": "package-check"}}' >"$home/.claude/.credentials.json"
    echo '{"five_hour": {"utilization": 25, "resets_at": "2026-12-05T15:00:00Z"}}' \
        >"$scratch/service/api/oauth/usage"
    python3 -m http.server 47613 --bind 127.0.0.1 --directory "$scratch/service" \
        >/dev/null 2>&1 &
    server=$!
    for _ in {1..50}; do
        (: </dev/tcp/127.0.0.1/47613) 2>/dev/null && break
        sleep 0.1
    done
    kill -0 "$server" 2>/dev/null || fail "the stand-in usage service could not take port 47613"
    expected=$'잔량 파싱 성공 — 1줄\n  세션 (5시간) : 사용 25% / 남음 75% / 리셋 2026-12-05T15:00:00Z'
fi
out=$(cd "$scratch" && HOME="$home" env -u CLAUDE_CONFIG_DIR "$program" --selftest gauge.png) &&
    [[ $out == "$expected"$'\n렌더 저장 → gauge.png' ]] || fail "self-test printed: $out"
[[ $(file -b "$scratch/gauge.png") == "PNG image data, 410 x 220,"* ]] || fail "no 410 x 220 PNG"
echo "check-package: $(basename "$deb") is sound"
