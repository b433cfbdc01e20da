#!/usr/bin/env bash
# Fuzzes qel's native core: builds build/fuzz (clang, libFuzzer, ASan and
# UBSan) and runs each fuzz target for a bounded time, several at once.
#
# Usage: scripts/fuzz.sh [seconds] [target ...]
#   seconds  per target, default 20 (scripts/fuzz.sh 600 for a longer run)
#   target   lenient_number strict_number profile script; default all
#
# Each target starts from its seed corpus fuzz/corpus/<target>/ and the saved
# findings fuzz/regressions/<target>/, and grows a working corpus in
# build/fuzz/corpus/<target>/ that the next run starts from too. An input
# that crashes, breaks one of the target's invariants, runs longer than 5 s
# or needs more than 2 GB is copied into fuzz/regressions/<target>/, where
# CTest in build/fuzz replays it from then on. The full libFuzzer output is
# kept in build/fuzz/logs/<target>.log. Exits nonzero when any target found
# something.
#
# Environment: QEL_FUZZ_JOBS (default: the number of cores) targets at once.
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
all_targets=(lenient_number strict_number profile script)

seconds=20
if [ $# -gt 0 ] && [[ "$1" =~ ^[0-9]+$ ]]; then
  seconds="$1"
  shift
fi
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then targets=("${all_targets[@]}"); fi
for t in "${targets[@]}"; do
  case " ${all_targets[*]} " in
    *" $t "*) ;;
    *) echo "fuzz.sh: unknown target '$t' (have: ${all_targets[*]})" >&2; exit 2 ;;
  esac
done
jobs="${QEL_FUZZ_JOBS:-$(nproc)}"

if ! bash "$root/scripts/build.sh" fuzz; then
  echo "fuzz.sh: FAILED to build build/fuzz" >&2
  exit 1
fi

build="$root/build/fuzz"
mkdir -p "$build/logs"

dictionary_of() {
  case "$1" in
    *_number) echo "$root/fuzz/dict/numbers.dict" ;;
    *) echo "$root/fuzz/dict/$1.dict" ;;
  esac
}

# One target, output to its log; its exit code to <log>.rc.
fuzz_one() {
  local t="$1" work="$build/corpus/$1" artifacts="$build/artifacts/$1" saved="$root/fuzz/regressions/$1"
  local log="$build/logs/$1.log" dict rc f
  mkdir -p "$work" "$artifacts" "$saved"
  rm -f "$artifacts"/*
  dict=$(dictionary_of "$t")
  local args=(-max_total_time="$seconds" -timeout=5 -rss_limit_mb=2048 -print_final_stats=1
              -artifact_prefix="$artifacts/")
  if [ -f "$dict" ]; then args+=(-dict="$dict"); fi
  UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}" \
    "$build/fuzz/${t}_fuzz" "${args[@]}" "$work" "$root/fuzz/corpus/$t" "$saved" >"$log" 2>&1
  rc=$?
  for f in "$artifacts"/crash-* "$artifacts"/leak-* "$artifacts"/timeout-* "$artifacts"/oom-*; do
    if [ -e "$f" ]; then cp "$f" "$saved/"; fi
  done
  echo "$rc" >"$log.rc"
}

echo "== fuzz.sh: ${targets[*]}, ${seconds} s each, $jobs at once" >&2
start=$(date +%s)
for t in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n; done
  rm -f "$build/logs/$t.log.rc"
  fuzz_one "$t" &
done
wait

failed=0
report='^== fuzz invariant broken|runtime error:|ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)'
echo "== fuzz.sh summary ($(( $(date +%s) - start )) s)"
for t in "${targets[@]}"; do
  log="$build/logs/$t.log"
  rc=$(cat "$log.rc" 2>/dev/null || echo "?")
  stats=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -n 1 | sed -E 's/^#([0-9]+)[[:space:]]+DONE[[:space:]]+/\1 runs, /')
  if [ "$rc" = 0 ]; then
    printf '  %-15s ok: %s\n' "$t" "$stats"
  else
    failed=1
    printf '  %-15s FAILED (exit %s); saved in fuzz/regressions/%s/:\n' "$t" "$rc" "$t"
    ls -1 "$build/artifacts/$t" 2>/dev/null | sed 's/^/      /'
    echo "  --- from build/fuzz/logs/$t.log:"
    # From the first report of a fault on, or else the end of the log.
    if grep -qE "$report" "$log"; then
      awk -v re="$report" '$0 ~ re { on = 1 } on && n++ < 40' "$log"
    else
      grep -vE '^(#[0-9]+|")' "$log" | tail -n 40
    fi | sed 's/^/    /'
  fi
done
exit "$failed"
