#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test without a display,
# inside a private D-Bus session bus; then again with the sanitizers.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/install-packages.sh"
bash "$top/scripts/build.sh"
export QT_QPA_PLATFORM=offscreen
export CTEST_OUTPUT_ON_FAILURE=1
dbus-run-session -- ctest --test-dir "${BUILD_DIR:-$top/build}" -j"$(nproc)" --timeout 900
# Then the same suite built with the address and undefined-behaviour sanitizers.
bash "$top/scripts/run-sanitized-tests.sh"
