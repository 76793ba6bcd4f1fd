#!/usr/bin/env bash
# Builds the patient-file fuzzer with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer in its own build directory (first argument),
# replays every input in fuzz/regressions/, then fuzzes a copy of the seed
# corpus for FUZZ_SECONDS (60). Fails on any crash, leak or hang; the input
# that caused it is saved in fuzz/regressions/ to be kept there for good.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build/fuzz-clang}
seconds=${FUZZ_SECONDS:-60}
sanitizers="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"

cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ -DMATURIX_FUZZ=ON -DBUILD_TESTING=OFF \
    -DCMAKE_CXX_FLAGS="$sanitizers -fsanitize=fuzzer-no-link" \
    -DCMAKE_EXE_LINKER_FLAGS="$sanitizers" >/dev/null
cmake --build "$build" --target fuzz_patientfile
fuzzer="$build/fuzz/fuzz_patientfile"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

shopt -s nullglob
mkdir -p "$top/fuzz/regressions"
regressions=("$top"/fuzz/regressions/*)
if [ ${#regressions[@]} -gt 0 ]; then
    echo "Replaying ${#regressions[@]} regression inputs"
    "$fuzzer" "${regressions[@]}"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$top"/fuzz/corpus/* "$work"/
# The shared sample archives, when present, seed the generic reader too;
# they are read in place, and new inputs go to the temporary copy only.
seeds=()
[ -d "$top/../shared/testdata/typedstream" ] && seeds+=("$top/../shared/testdata/typedstream")
echo "Fuzzing for $seconds s"
"$fuzzer" -max_total_time="$seconds" -max_len=4096 -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$top/fuzz/regressions/" "$work" "${seeds[@]}"
