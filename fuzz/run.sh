#!/usr/bin/env bash
# Builds the fuzz targets of the table readers with clang (libFuzzer,
# AddressSanitizer, UndefinedBehaviorSanitizer, LeakSanitizer) and runs each
# for FUZZ_SECONDS (default 600). Seeds: the tables and indexes of the test
# fixtures. Prints the executed runs per target; exits non-zero on a finding.
#
#   fuzz/run.sh [target ...]        targets: dbf fpt cdx (default: all)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=${FUZZ_OUT:-$root/build-fuzz}
seconds=${FUZZ_SECONDS:-600}
targets=("${@:-dbf fpt cdx}")
read -r -a targets <<< "${targets[*]}"
mkdir -p "$out"

flags=(-std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
       -I"$root/src" -I"$root/fuzz" $(pkg-config --cflags Qt6Core) -fPIC)
libs=($(pkg-config --libs Qt6Core))
sources=("$root"/src/platform/db/*.cpp
         "$root"/src/platform/runtime/{strings,codepage,value,error,collation,international}.cpp)

for t in "${targets[@]}"; do
  echo "== building fuzz_$t"
  clang++ "${flags[@]}" "$root/fuzz/fuzz_$t.cpp" "${sources[@]}" "${libs[@]}" -o "$out/fuzz_$t"
done

fixtures=$root/tests/platform/db/fixtures/golden-other-engine
status=0
for t in "${targets[@]}"; do
  corpus=$out/corpus_$t
  mkdir -p "$corpus"
  case $t in
    dbf) cp -n "$fixtures"/*.dbf "$corpus"/ 2>/dev/null || true ;;
    fpt) for f in "$fixtures"/*.fpt; do { printf '\x08\x00\x0e\x00\x10\x00\x40\x00'; cat "$f"; } > "$corpus/$(basename "$f")"; done ;;
    cdx) cp -n "$fixtures"/*.cdx "$corpus"/ 2>/dev/null || true ;;
  esac
  echo "== running fuzz_$t for ${seconds}s"
  log=$out/fuzz_$t.log
  if ! "$out/fuzz_$t" "$corpus" -max_total_time="$seconds" -max_len=300000 -timeout=20 -rss_limit_mb=2048 \
         -print_final_stats=1 -artifact_prefix="$out/crash_${t}_" > "$log" 2>&1; then
    status=1
    echo "fuzz_$t FOUND A PROBLEM, see $log"
    grep -E "ERROR|SUMMARY" "$log" | head -5 || true
  fi
  runs=$(grep -E "stat::number_of_executed_units" "$log" | awk '{print $2}')
  echo "fuzz_$t: ${runs:-?} runs in ${seconds}s"
done
exit $status
