#!/usr/bin/env bash
# Fresh machine to running program: installs dependencies, builds, runs.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
build_dir=${BUILD_DIR:-build}
exec "$build_dir/Sources/Cli/mtzip" --help "$@"
