#!/usr/bin/env bash
# Installs what is missing, builds, and starts Maturix.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/install-packages.sh"
bash "$top/scripts/build.sh"
build=${BUILD_DIR:-$top/build}
if [ -x "$build/Maturix/Maturix" ]; then
    exec "$build/Maturix/Maturix" "$@"
fi
exec "$build/Maturix/Cli/maturix-cli" --help
