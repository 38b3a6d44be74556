#!/usr/bin/env bash
# scripts/fuzz-run over stand-in targets that answer like libFuzzer: the budget is shared out,
# every target gets a length limit no smaller than its largest seed, a fixed seed and an emptied
# scratch corpus, and a target that finds a crash fails the run with its reproducer shown.
#
# usage: fuzz_run_test.sh SOURCE_DIR
set -uo pipefail
run="$1/scripts/fuzz-run"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
failures=0
check() {  # check DESCRIPTION COMMAND...
  if ! "${@:2}"; then
    echo "FAILED: $1"
    failures=$((failures + 1))
  fi
}

# A stand-in target: records its arguments, lists the scratch corpus it was handed (the first
# directory), and crashes with a reproducer when its name says so.
make_target() {  # make_target BUILD NAME
  mkdir -p "$1/tests/fuzz"
  cat >"$1/tests/fuzz/$2" <<'EOF'
#!/usr/bin/env bash
name="$(basename "$0")"
log="$(dirname "$0")/$name.args"
printf '%s\n' "$@" >"$log"
for arg in "$@"; do
  case "$arg" in
    -*) ;;
    *) ls -A "$arg" >"$log.corpus"; break ;;
  esac
done
prefix="$(printf '%s\n' "$@" | sed -n 's/^-artifact_prefix=//p')"
case "$name" in
  crash_*)
    echo "==1==ERROR: AddressSanitizer: heap-buffer-overflow"
    echo "#42	NEW    cov: 10 ft: 12 corp: 2/7b exec/s: 0 rss: 30Mb"
    printf 'x' >"${prefix}crash-1"
    echo "artifact_prefix='$prefix'; Test unit written to ${prefix}crash-1"
    exit 1 ;;
esac
echo "Done 500 runs in 2 second(s)"
echo "stat::number_of_executed_units: 500"
echo "stat::average_exec_per_sec:     250"
EOF
  chmod +x "$1/tests/fuzz/$2"
}

# Two good targets, one with a seed larger than the default length limit; a stale input in a
# scratch corpus left by an earlier run.
good="$scratch/good"
make_target "$good" alpha_fuzz
make_target "$good" beta_fuzz
mkdir -p "$good/fuzz-seeds/alpha_fuzz" "$good/fuzz-seeds/beta_fuzz" "$good/fuzz-work/alpha_fuzz/corpus"
head -c 10000 /dev/zero >"$good/fuzz-seeds/alpha_fuzz/big"
printf 'tiny' >"$good/fuzz-seeds/beta_fuzz/small"
printf 'stale' >"$good/fuzz-work/alpha_fuzz/corpus/old"
out="$(GV_FUZZ_SECONDS=20 "$run" "$good" 2>&1)"
status=$?
jobs=$(nproc)
[ "$jobs" -gt 2 ] && jobs=2
share=$((20 * jobs / 2))
check "two good targets pass" test "$status" -eq 0
check "the summary line" grep -qx "fuzz: 2 passed, 0 failed" <<<"$out"
check "a line per target with its rate" grep -q "^alpha_fuzz .* 250 exec/s .* ok (500 runs)" <<<"$out"
check "the share of the budget" grep -qx -- "-max_total_time=$share" "$good/tests/fuzz/alpha_fuzz.args"
check "a fixed seed" grep -qx -- "-seed=1" "$good/tests/fuzz/beta_fuzz.args"
check "the length limit covers the largest seed" grep -qx -- "-max_len=10000" "$good/tests/fuzz/alpha_fuzz.args"
check "the length limit never below the default" grep -qx -- "-max_len=4096" "$good/tests/fuzz/beta_fuzz.args"
check "the scratch corpus starts empty" test ! -s "$good/tests/fuzz/alpha_fuzz.args.corpus"
check "the seeds come after the scratch corpus" grep -qx "$good/fuzz-seeds/alpha_fuzz" "$good/tests/fuzz/alpha_fuzz.args"

# The argument overrides the environment's total.
GV_FUZZ_SECONDS=20 "$run" "$good" 4 >/dev/null 2>&1
check "the total from the argument" grep -qx -- "-max_total_time=$((4 * jobs / 2))" "$good/tests/fuzz/alpha_fuzz.args"

# A crash fails the run: its report and its reproducer are printed, progress lines are not.
bad="$scratch/bad"
make_target "$bad" alpha_fuzz
make_target "$bad" crash_fuzz
mkdir -p "$bad/fuzz-seeds/alpha_fuzz" "$bad/fuzz-seeds/crash_fuzz"
printf 'a' >"$bad/fuzz-seeds/alpha_fuzz/a"
printf 'c' >"$bad/fuzz-seeds/crash_fuzz/c"
out="$("$run" "$bad" 2 2>&1)"
status=$?
check "a crash fails the run" test "$status" -eq 1
check "the summary counts it" grep -qx "fuzz: 1 passed, 1 failed" <<<"$out"
check "the crash is named" grep -q "^crash_fuzz .*FAILED: crash" <<<"$out"
check "its report is shown" grep -q "AddressSanitizer: heap-buffer-overflow" <<<"$out"
check "its reproducer is shown" grep -qx "==== reproducer: $bad/fuzz-work/crash_fuzz/crash-1" <<<"$out"
check "progress lines are left out" test -z "$(grep '^#42' <<<"$out")"

# A target without seeds fails; a directory without targets is refused.
mkdir -p "$scratch/noseeds"
make_target "$scratch/noseeds" alpha_fuzz
"$run" "$scratch/noseeds" 1 >"$scratch/noseeds.out" 2>&1
check "a target without seeds fails" test $? -eq 1
check "and says so" grep -q "no seed corpus" "$scratch/noseeds.out"
mkdir -p "$scratch/empty"
"$run" "$scratch/empty" 1 >/dev/null 2>&1
check "no targets is an error" test $? -eq 2
"$run" "$good" 0 >/dev/null 2>&1
check "a zero budget is refused" test $? -eq 2

[ "$failures" -eq 0 ] && echo "fuzz-run: all checks passed"
[ "$failures" -eq 0 ]
