#!/usr/bin/env bash
# Builds the Debian package build/custdesk_<version>_<arch>.deb from the build tree, then checks
# it with lintian and its desktop entry and metainfo with their validators.
# An existing build tree keeps its options (the test suite packs the tree it has built); a
# fresh one is configured without the tests. BUILD_DIR names another tree.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${BUILD_DIR:-build}"
scripts/deps.sh
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCUSTDESK_TESTS=OFF >/dev/null
fi
cmake --build "$build" -j "$(nproc)" --target custdesk custdesk-admin packaged_files
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls -t "$build"/custdesk_*.deb | head -1)
# The libraries' packages come from dpkg-shlibdeps; without it CPack would leave them out.
if ! dpkg-deb -f "$deb" Depends | grep -q libpq5; then
    echo "package.sh: $deb lacks its libraries' packages (is dpkg-shlibdeps there?)" >&2
    exit 1
fi

# Read from the package itself, as installed.
check=$(mktemp -d)
trap 'rm -rf "$check"' EXIT
dpkg-deb -x "$deb" "$check"
desktop-file-validate "$check"/usr/share/applications/custdesk.desktop
appstreamcli validate --no-net --explain "$check"/usr/share/metainfo/*.metainfo.xml >/dev/null
lintian --fail-on error "$deb"
echo "$deb"
