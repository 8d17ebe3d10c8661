#!/usr/bin/env bash
# Runs the fuzz targets of the fuzz build (make fuzz) one after another, each
# for SECONDS, on its seeds from tests/data and the corpus it grew in earlier
# runs (BUILD/corpus/TARGET). Stops at the first input that crashes a target,
# hangs it or takes too much memory, names that input and exits non-zero.
#   scripts/fuzz.sh SECONDS [TARGET...]    (default: every fuzz_* built)
# FUZZ_BUILD: the build folder (build-fuzz); FUZZ_JOBS: processes per target
# (the number of processors).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:?usage: scripts/fuzz.sh SECONDS [TARGET...]}
shift
build=${FUZZ_BUILD:-build-fuzz}
jobs=${FUZZ_JOBS:-$(nproc)}
targets=("$@")
if ((${#targets[@]} == 0)); then
    for program in "$build"/bin/fuzz_*; do
        targets+=("$(basename "$program")")
    done
fi
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}

for target in "${targets[@]}"; do
    leaks= # what LeakSanitizer passes over: nothing, but for libmdb
    # A card or a few rows hold every structure the text readers know, and
    # small inputs make many runs: the fuzzing cuts longer seeds to 64 KiB
    # (they are replayed whole before). An Access file needs all its pages.
    case $target in
    fuzz_vcard)
        seeds=(tests/data/*.vcf tests/data/hostile/*.vcf)
        options=(-max_len=65536 -dict=tests/fuzz/vcard.dict)
        ;;
    fuzz_csv)
        seeds=(tests/data/*.csv tests/data/legacy/*.yanshu.csv tests/data/hostile/*.csv)
        options=(-max_len=65536 -dict=tests/fuzz/csv.dict)
        ;;
    fuzz_access)
        seeds=(tests/data/legacy/*.mdb tests/data/hostile/*.mdb)
        options=(-max_len=1048576)
        leaks=tests/fuzz/libmdb.supp
        ;;
    fuzz_multistatus)
        seeds=(tests/data/dav/*.xml)
        options=(-max_len=65536 -dict=tests/fuzz/dav.dict)
        ;;
    *)
        echo "fuzz.sh: no seeds known for $target" >&2
        exit 2
        ;;
    esac
    if [ ! -x "$build/bin/$target" ]; then
        echo "fuzz.sh: $build/bin/$target is not built (make build-fuzz)" >&2
        exit 2
    fi
    corpus=$build/corpus/$target
    seedDir=$build/seeds/$target
    artifacts=$build/artifacts/$target/
    log=$build/$target.log
    rm -rf "$seedDir"
    mkdir -p "$corpus" "$seedDir" "$artifacts"
    cp "${seeds[@]}" "$seedDir/"
    echo "== $target: $seconds s"
    # First every seed, whole, and every input of the corpus, one by one: the
    # forked mode passes over inputs that fail as it merges them. Then the
    # fuzzing, in $jobs processes, timeouts and lack of memory counting.
    # libFuzzer can deadlock in its own timeout handler under ASan, so each
    # part has a deadline of its own as well.
    export LSAN_OPTIONS=${leaks:+suppressions=$PWD/$leaks}
    common=(-timeout=10 -rss_limit_mb=2048 -artifact_prefix="$artifacts")
    mapfile -t inputs < <(find "$seedDir" "$corpus" -type f)
    if ! { timeout -k 10 $((${#inputs[@]} * 20 + 60)) "$build/bin/$target" "${common[@]}" \
        "${inputs[@]}" &&
        timeout -k 10 $((seconds + 300)) "$build/bin/$target" "${common[@]}" "${options[@]}" \
            -max_total_time="$seconds" -fork="$jobs" -ignore_timeouts=0 -ignore_ooms=0 \
            "$corpus" "$seedDir"; } 2>&1 | tee "$log"; then
        input=$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log" | tail -n 1)
        if [ -z "$input" ] && ! grep -q '^INFO: -fork=' "$log"; then
            input=$(sed -n 's/^Running: //p' "$log" | tail -n 1) # the one it hung on
        fi
        echo "fuzz.sh: $target failed on ${input:-an input it did not keep, see $log}" >&2
        echo "fuzz.sh: replay it with $build/bin/$target ${input:-FILE}" >&2
        exit 1
    fi
done
