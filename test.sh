#!/usr/bin/env bash
# Installs what is missing, builds the release preset and runs the whole suite.
set -euo pipefail
cd "$(dirname "$0")"
./tools/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release
ctest --preset release --parallel "$(nproc)" "$@"
