#!/usr/bin/env bash
# Short, bounded fuzzing of every libFuzzer target in fuzz/: builds them with clang (the
# fuzz preset's directory unless another is given) and runs each for FUZZ_SECONDS
# (default 20) from a scratch copy of its seeds. Exits non-zero if any target finds a
# crash, a leak or a timeout; the reproducer is left beside the target binary.
#   fuzz/run-short.sh [BUILD_DIR] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/fuzz}
shift || true
secs=${FUZZ_SECONDS:-20}

names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for src in fuzz/*.cpp; do
    name=$(basename "$src" .cpp)
    [ "$name" = replay_main ] || names+=("$name")
  done
fi

if [ "$build" = build/fuzz ]; then
  cmake --preset fuzz >/dev/null
else
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
    -DCMAKE_CXX_COMPILER=clang++ -DXRKIT_FUZZ=ON -DXRKIT_TESTS=OFF >/dev/null
fi
targets=()
for name in "${names[@]}"; do targets+=("fuzz_$name"); done
cmake --build "$build" -j"${JOBS:-2}" --target "${targets[@]}"

failed=()
for name in "${names[@]}"; do
  scratch=$(mktemp -d)
  if [ -d "fuzz/corpus/$name" ]; then cp -r "fuzz/corpus/$name/." "$scratch/"; fi
  echo "== fuzz_$name for ${secs}s"
  if ! "$build/fuzz/fuzz_$name" -max_total_time="$secs" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$build/fuzz/$name-" "$scratch" 2>"$scratch.log"; then
    tail -n 40 "$scratch.log"
    failed+=("$name")
  else
    grep -E '^(stat::number_of_executed_units|Done)' "$scratch.log" || true
  fi
  rm -rf "$scratch" "$scratch.log"
done

passed=$(( ${#names[@]} - ${#failed[@]} ))
echo "fuzzing: $passed passed, ${#failed[@]} failed"
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing found problems in: ${failed[*]}" >&2
  exit 1
fi
