#!/usr/bin/env bash
# Builds the Debian package maturix_<version>_amd64.deb into build/package/
# (or $BUILD_DIR/package/). Install it with: apt install ./maturix_*.deb
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build}
bash "$top/scripts/install-packages.sh"
bash "$top/scripts/build.sh"
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$build/package"
ls "$build"/package/maturix_*_amd64.deb
