#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${KERUNOPI_BUILD_DIR:-$root/build}"

bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja >/dev/null
cmake --build "$build"
ctest --test-dir "$build" --output-on-failure

# The same tests again under AddressSanitizer and UndefinedBehaviorSanitizer: the first finding
# fails the run. Only third-party libraries' leaks are suppressed (tests/sanitizers/lsan.supp).
cmake -S "$root" -B "$build-asan" -G Ninja -DKERUNOPI_SANITIZE=ON >/dev/null
cmake --build "$build-asan"
ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1 \
  LSAN_OPTIONS="suppressions=$root/tests/sanitizers/lsan.supp:print_suppressions=0" \
  UBSAN_OPTIONS=halt_on_error=1:abort_on_error=1:print_stacktrace=1 \
  ctest --test-dir "$build-asan" --output-on-failure

# The time-limit reader under libFuzzer (clang) for a minute, from the seed corpus; new inputs
# go to a scratch directory so the corpus in the repository stays as it is.
cmake -S "$root/fuzz" -B "$build-fuzz" -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build-fuzz"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
if ! "$build-fuzz/fuzz_timelimit" -max_total_time=60 -dict="$root/fuzz/timelimit.dict" \
  -artifact_prefix="$build-fuzz/" "$scratch" "$root/fuzz/corpus" 2>"$build-fuzz/fuzz.log"; then
  tail -n 40 "$build-fuzz/fuzz.log" >&2
  echo "test: the fuzzer found a failing input; it is saved in $build-fuzz/" >&2
  exit 1
fi
echo "fuzz_timelimit: $(tail -n 1 "$build-fuzz/fuzz.log")"
