#!/usr/bin/env bash
# A fuzzing campaign: every libFuzzer target in fuzz/ (or those named) for the given time
# each, one after the other, building them first with the fuzz preset. Each target's
# corpus is kept between campaigns in CORPUS_DIR/<name> (default build/fuzz-corpus, out
# of the source tree): seeded from fuzz/corpus/<name> when first made, it keeps every new
# input the fuzzer finds, so each campaign starts where the last one stopped. A crash, a
# leak or a timeout stops that target, leaves its reproducer in CORPUS_DIR and fails the
# campaign; the others still run.
#   fuzz/run-long.sh DURATION [TARGET...]      DURATION: seconds, or with m or h (30m, 2h)
# Environment: CORPUS_DIR; JOBS, parallel fuzzing processes per target (default 1).
set -euo pipefail
cd "$(dirname "$0")/.."

usage() { sed -n '2,12s/^# \{0,1\}//p' "$0" >&2; exit 2; }
[ $# -ge 1 ] || usage
case $1 in
  *h) secs=$(( ${1%h} * 3600 )) ;;
  *m) secs=$(( ${1%m} * 60 )) ;;
  *[!0-9]* | '') usage ;;
  *) secs=$1 ;;
esac
shift
corpora=${CORPUS_DIR:-build/fuzz-corpus}
jobs=${JOBS:-1}

names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for src in fuzz/*.cpp; do
    name=$(basename "$src" .cpp)
    [ "$name" = replay_main ] || names+=("$name")
  done
fi
targets=()
for name in "${names[@]}"; do targets+=("fuzz_$name"); done
cmake --preset fuzz >/dev/null
cmake --build build/fuzz -j"$jobs" --target "${targets[@]}"

failed=()
for name in "${names[@]}"; do
  corpus=$corpora/$name
  if [ ! -d "$corpus" ]; then
    mkdir -p "$corpus"
    if [ -d "fuzz/corpus/$name" ]; then cp -r "fuzz/corpus/$name/." "$corpus/"; fi
  fi
  before=$(find "$corpus" -type f | wc -l)
  log=$corpora/$name.log
  echo "== fuzz_$name for ${secs}s from $before inputs in $corpus"
  parallel=()
  [ "$jobs" -gt 1 ] && parallel=(-fork="$jobs")
  if ! build/fuzz/fuzz/fuzz_"$name" -max_total_time="$secs" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$corpora/$name-" "${parallel[@]}" "$corpus" \
      2>"$log"; then
    tail -n 40 "$log"
    failed+=("$name")
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  echo "   ${runs:-?} inputs run ($(( ${runs:-0} / secs ))/s), $(find "$corpus" -type f | wc -l) in the corpus; log $log"
done

echo "fuzzing campaign: $(( ${#names[@]} - ${#failed[@]} )) passed, ${#failed[@]} failed"
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing found problems in: ${failed[*]} (reproducers: $corpora/<name>-*)" >&2
  exit 1
fi
