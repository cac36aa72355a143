#!/usr/bin/env bash
# Builds every target and runs every suite: C++ (plain and under ASan/UBSan), the fuzz targets
# for a bounded time, the designer's Vitest suites, and the browser tests. Ends with one line that sums them all.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out="$root/test-output"
rm -rf "$out" && mkdir -p "$out"
jobs=$(nproc)
passed=0 failed=0 skipped=0
started=$(date +%s)

# A build or lint step counts as one test: it passes or it fails.
check() {
  local name=$1
  shift
  echo "==> $name"
  if "$@" >"$out/$name.log" 2>&1; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $name (last lines of $out/$name.log)"
    tail -n 40 "$out/$name.log"
  fi
}

# A suite writes a JSON report; a missing report counts as one failure.
suite() {
  local name=$1 report=$2
  shift 2
  echo "==> $name"
  "$@" 2>&1 | tee "$out/$name.log" | tail -n 30
  if [ -s "$report" ]; then
    read -r p f s < <(node scripts/count-results.mjs "$report")
    echo "    $name: $p passed, $f failed, $s skipped"
    passed=$((passed + p)) failed=$((failed + f)) skipped=$((skipped + s))
  else
    echo "FAILED: $name wrote no report"
    failed=$((failed + 1))
  fi
}

check web-build npm run build
check web-typecheck npm run typecheck
check web-lint npm run lint
check web-format npm run format:check
check cpp-format bash -c 'git ls-files "*.cpp" "*.h" | xargs -r clang-format --dry-run --Werror'
check linux-build bash -c "cmake -S . -B build -DSORVENDALE_WERROR=ON && cmake --build build -j$jobs && cmake --build build --target all -j$jobs"
check windows-build bash -c "cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release -DSORVENDALE_WERROR=ON && cmake --build build-windows -j$jobs"
check asan-build bash -c "cmake -S . -B build-asan -DSORVENDALE_WERROR=ON -DSORVENDALE_SANITIZE=address,undefined && cmake --build build-asan -j$jobs"

export SORVENDALE_WINDOWS_EXE="$root/build-windows/Sorvendale.exe"
export SORVENDALE_TEST_OUTPUT="$out"
suite cpp "$out/cpp.json" build/sorvendale_tests --gtest_output="json:$out/cpp.json"
# Wine runs once, in the plain pass; everything else again under the sanitizers, except the
# descriptor-exhaustion test: UBSan's dynamic-type check needs a pipe whenever its small type
# cache misses, so with no descriptor left it reports a false "invalid vptr" and aborts.
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  suite cpp-asan "$out/cpp-asan.json" build-asan/sorvendale_tests \
  --gtest_filter='-Wine*:ServicePressure.AcceptFailuresAreReportedAtMostOncePerSecond' \
  --gtest_output="json:$out/cpp-asan.json"
# Coverage-guided fuzzing (clang, libFuzzer, ASan and UBSan): a bounded run per target, each
# a check that fails on any finding. Longer runs: docs/testing.md.
check fuzz-build bash -c "cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DSORVENDALE_FUZZ=ON && cmake --build build-fuzz -j$jobs"
for target in request_head print_body base64 print_job; do
  check "fuzz-$target" scripts/fuzz.sh "$target" 50
done
suite web "$out/web.json" npm run --silent test:web -- --reporter=default --reporter=json \
  --outputFile="$out/web.json"
suite e2e "$out/e2e.json" npm run --silent test:e2e -- --reporter=default --reporter=json \
  --outputFile="$out/e2e.json"

echo "whole run took $(($(date +%s) - started)) s"
echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
