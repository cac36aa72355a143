#!/usr/bin/env bash
# Builds the libFuzzer targets (build-fuzz/, clang with AddressSanitizer and UBSan) and runs one.
# Usage: scripts/fuzz.sh TARGET [SECONDS]
#   TARGET: request_head, print_body, base64 or print_job; SECONDS defaults to 60.
# The corpus grows in build-fuzz/corpus/TARGET across runs; the seeds (fuzz/seeds/, and the
# JSONTestSuite files in ../shared/corpora for the body targets) are only read. A finding
# stops the run with a non-zero exit and leaves the input in test-output/fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."
target=$1
seconds=${2:-60}

cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DSORVENDALE_FUZZ=ON >/dev/null
cmake --build build-fuzz --target "${target}_fuzz" -j"$(nproc)" >/dev/null

seeds=()
max_len=4096
case $target in
  request_head) seeds=(fuzz/seeds/request_head) max_len=8192 ;;
  base64) seeds=(fuzz/seeds/base64) ;;
  print_body | print_job) seeds=(fuzz/seeds/print_body ../shared/corpora/JSONTestSuite/test_parsing) ;;
  *) echo "unknown target: $target" >&2 && exit 2 ;;
esac
for dir in "${seeds[@]}"; do
  [ -d "$dir" ] || { echo "missing seeds: $dir" >&2 && exit 2; }
done

corpus=build-fuzz/corpus/$target
findings=test-output/fuzz
mkdir -p "$corpus" "$findings"
exec "build-fuzz/${target}_fuzz" "$corpus" "${seeds[@]}" -max_total_time="$seconds" \
  -max_len="$max_len" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$findings/$target-"
