#!/usr/bin/env bash
# Builds a fuzzer (second argument: fuzz_patientfile, the default,
# fuzz_propertylist or fuzz_busnotification) with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer in its own build directory (first argument),
# replays every input in the target's regressions folder, then fuzzes a copy
# of its seed corpus for FUZZ_SECONDS (60). Fails on any crash, leak, hang
# or use of memory out of proportion to the input (MEMORY_LIMIT_MB, 512, for
# the whole process; MALLOC_LIMIT_MB, 64, for one allocation); the input
# that caused it is saved in the regressions folder to be kept there for
# good.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build/fuzz-clang}
target=${2:-fuzz_patientfile}
seconds=${FUZZ_SECONDS:-60}
# Inputs are a few kilobytes: no reader needs more than a few megabytes for
# one, on top of the sanitizers' own.
limits=(-rss_limit_mb="${MEMORY_LIMIT_MB:-512}" -malloc_limit_mb="${MALLOC_LIMIT_MB:-64}")
sanitizers="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"

seeds=()
options=()
case "$target" in
fuzz_patientfile)
    corpus=$top/fuzz/corpus
    regressions=$top/fuzz/regressions
    max_len=4096
    # The shared sample archives, when present, seed the generic reader too;
    # they are read in place, and new inputs go to the temporary copy only.
    [ -d "$top/../shared/testdata/typedstream" ] && seeds+=("$top/../shared/testdata/typedstream")
    ;;
fuzz_propertylist)
    corpus=$top/fuzz/corpus-propertylist
    regressions=$top/fuzz/regressions-propertylist
    max_len=16384
    options+=(-dict="$top/fuzz/propertylist.dict")
    ;;
fuzz_busnotification)
    # Needs a session bus: run under dbus-run-session.
    corpus=$top/fuzz/corpus-busnotification
    regressions=$top/fuzz/regressions-busnotification
    max_len=4096
    ;;
*)
    echo "Unknown fuzz target: $target" >&2
    exit 2
    ;;
esac

cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ -DMATURIX_FUZZ=ON -DBUILD_TESTING=OFF \
    -DCMAKE_CXX_FLAGS="$sanitizers -fsanitize=fuzzer-no-link" \
    -DCMAKE_EXE_LINKER_FLAGS="$sanitizers" >/dev/null
cmake --build "$build" --target "$target"
fuzzer="$build/fuzz/$target"

# A small quarantine keeps the sanitizer's own share of the memory limit low.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:quarantine_size_mb=32
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

shopt -s nullglob
mkdir -p "$regressions"
replays=("$regressions"/*)
if [ ${#replays[@]} -gt 0 ]; then
    echo "Replaying ${#replays[@]} regression inputs"
    "$fuzzer" "${limits[@]}" "${replays[@]}"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$corpus"/* "$work"/
echo "Fuzzing for $seconds s"
"$fuzzer" -max_total_time="$seconds" -max_len="$max_len" -timeout=10 -print_final_stats=1 "${limits[@]}" \
    "${options[@]}" -artifact_prefix="$regressions/" "$work" "${seeds[@]}"
