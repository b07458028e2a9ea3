#!/usr/bin/env bash
# Builds custdesk and starts it on the delivered database in build/program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
exec build/program/custdesk
