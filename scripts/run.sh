#!/usr/bin/env bash
# Builds the program and starts the window.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "${JOBS:-$(nproc)}" --target excelmerge
exec build/app/excelmerge "$@"
