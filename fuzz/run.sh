#!/usr/bin/env bash
# Runs each fuzzer for SECONDS (default 15) from its seed corpus in fuzz/corpus/<target>/, new inputs going to a
# scratch folder (the committed corpus stays as it is). A crash stops the run with the fuzzer's report; its
# input is left in BUILD/fuzz/artifacts/ to become a regular test.
#   fuzz/run.sh BUILD [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?usage: fuzz/run.sh BUILD [SECONDS]}
seconds=${2:-15}
mkdir -p "$build/fuzz/artifacts"
for target in packet_fuzz filter_fuzz jobfile_fuzz abi_variant_fuzz preview_fuzz; do
  scratch=$(mktemp -d)
  echo "== $target: ${seconds}s"
  status=0
  "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$build/fuzz/artifacts/$target-" "$scratch" "fuzz/corpus/${target%_fuzz}" \
    >"$scratch.log" 2>&1 || status=$?
  grep -E "^(stat::number_of_executed_units|stat::peak_rss_mb|==[0-9]+==ERROR|SUMMARY|INFO: seed corpus)" \
    "$scratch.log" || true
  [ "$status" -eq 0 ] || tail -40 "$scratch.log" >&2
  rm -f "$scratch.log"
  rm -rf "$scratch"
  if [ "$status" -ne 0 ]; then
    echo "$target failed (exit $status); input in $build/fuzz/artifacts/" >&2
    exit 1
  fi
done
