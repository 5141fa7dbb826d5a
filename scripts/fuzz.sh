#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a number of seconds, side by side
# (one per core), starting from the checked-in seeds. The saved regressions are left to the
# CTest run, since one whose fault is still open would stop the run at once.
#
# Usage: scripts/fuzz.sh [-k] [-s] [seconds] [target...]
#   seconds   how long each target runs (default 300)
#   target    fuzz_replyparser and/or fuzz_messagetext (default: both)
#   -k        keep going after a crash (libFuzzer's fork mode), to collect several faults
#   -s        afterwards replace the checked-in seeds with the minimised corpus, when it has
#             at most 20 files
# Environment: TALLOWICK_FUZZ_BUILD, the build directory (default build-fuzz in the tree);
# TALLOWICK_FUZZ_WORK, where corpora, logs and crash inputs go (default a new temp dir);
# TALLOWICK_FUZZ_SKIP, known faults for the targets to set aside (see tests/fuzz/README.md).
# Exits non-zero when a target found a crash; the inputs are listed at the end.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TALLOWICK_FUZZ_BUILD:-$root/build-fuzz}
work=${TALLOWICK_FUZZ_WORK:-$(mktemp -d /tmp/tallowick-fuzz.XXXXXX)}
max_seeds=20

keep_going=0
save_seeds=0
while getopts "ks" opt; do
  case "$opt" in
    k) keep_going=1 ;;
    s) save_seeds=1 ;;
    *) sed -n '6,15p' "$0" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
seconds=300
if [ $# -gt 0 ] && [[ "$1" =~ ^[0-9]+$ ]]; then
  seconds=$1
  shift
fi
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_replyparser fuzz_messagetext)

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DTALLOWICK_FUZZ=ON -DTALLOWICK_TESTS=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target "${targets[@]}" -j"$(nproc)"

run_one() {
  local target=$1 dir=$work/$1
  mkdir -p "$dir/corpus" "$dir/artifacts"
  cp "$root/tests/fuzz/corpus/$target/"* "$dir/corpus/"
  local extra=()
  [ "$keep_going" -eq 1 ] && extra=(-fork=1 -ignore_crashes=1)
  local status=0
  "$build/tests/fuzz/$target" "${extra[@]}" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$dir/artifacts/" "$dir/corpus" >"$dir/log" 2>&1 || status=$?
  echo "$status" >"$dir/status"
}

echo "Fuzzing ${targets[*]} for ${seconds}s each; work directory $work"
pids=()
for target in "${targets[@]}"; do
  # One target per core; a third waits for a free one.
  while [ ${#pids[@]} -ge "$(nproc)" ]; do
    wait "${pids[0]}"
    pids=("${pids[@]:1}")
  done
  run_one "$target" &
  pids+=($!)
done
for pid in "${pids[@]}"; do
  wait "$pid"
done

found=0
for target in "${targets[@]}"; do
  dir=$work/$target
  echo "== $target (exit $(cat "$dir/status"))"
  grep -E '^#[0-9]+.*(DONE|pulse|NEW)|stat::|cov:' "$dir/log" | tail -n 8 || true
  if compgen -G "$dir/artifacts/*" >/dev/null; then
    found=1
    echo "   crash inputs:"
    ls -1 "$dir/artifacts/" | sed "s|^|     $dir/artifacts/|"
    grep -E 'broke its promise|runtime error|ERROR: AddressSanitizer' "$dir/log" | sort | uniq -c || true
  fi
  # Minimise what the run gathered into a small corpus next to it.
  mkdir -p "$dir/merged"
  "$build/tests/fuzz/$target" -merge=1 "$dir/merged" "$dir/corpus" >"$dir/merge.log" 2>&1 || true
  count=$(find "$dir/merged" -type f | wc -l)
  echo "   minimised corpus: $count files in $dir/merged"
  if [ "$save_seeds" -eq 1 ]; then
    if [ "$count" -le "$max_seeds" ] && [ "$count" -gt 0 ]; then
      rm -f "$root/tests/fuzz/corpus/$target/"*
      cp "$dir/merged/"* "$root/tests/fuzz/corpus/$target/"
      echo "   seeds replaced by the minimised corpus"
    else
      echo "   seeds kept: the minimised corpus has more than $max_seeds files"
    fi
  fi
done
exit "$found"
