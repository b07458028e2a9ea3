#!/usr/bin/env bash
# Builds custdesk with its tests and runs the whole suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh -DCUSTDESK_TESTS=ON
cd build
QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" ctest --output-on-failure -j 2
