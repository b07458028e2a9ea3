#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need, when missing.
set -euo pipefail
packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev libxcb1-dev
    libsqlite3-dev sqlite3 libsodium-dev libbz2-dev unicode-data libpq-dev postgresql-15
    libgtest-dev libgmock-dev libbenchmark-dev
    libzip-dev libisal-dev
    fonts-wqy-microhei poppler-utils xvfb xauth libreoffice-calc
    qt6-translations-l10n
    dpkg-dev file lintian appstream desktop-file-utils
    "$@"
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
