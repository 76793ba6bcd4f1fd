#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer into
# build-sanitize/ (or $SANITIZE_BUILD_DIR) and runs the whole CTest suite with
# it, without a display, inside a private D-Bus session bus. The fuzzers are
# left out: they build and run sanitized on their own. So are the package
# check, which packs the ordinary build, and the end-to-end scenarios, which
# drive the ordinary build's application.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${SANITIZE_BUILD_DIR:-$top/build-sanitize}
generator=()
[ -f "$build/CMakeCache.txt" ] || generator=(-G Ninja)
# Unoptimised, which builds fastest; -g1 gives the reports file and line.
cmake -S "$top" -B "$build" "${generator[@]}" -DMATURIX_SANITIZE=ON \
    -DCMAKE_BUILD_TYPE= -DCMAKE_CXX_FLAGS="-O0 -g1" \
    -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON
cmake --build "$build" -j"$(nproc)"

export QT_QPA_PLATFORM=offscreen
export CTEST_OUTPUT_ON_FAILURE=1
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
dbus-run-session -- ctest --test-dir "$build" -j"$(nproc)" --timeout 900 -E '^(fuzz_|tst_package)' -LE EndToEnd
