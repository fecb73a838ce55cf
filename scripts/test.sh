#!/usr/bin/env bash
# Builds everything and runs every test: the suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, bounded runs of the four fuzz targets, the
# Windows build with its serial channel and window exercised under Wine, and the packages.
set -uo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh || exit 1

tests_started=$SECONDS
jobs="$(nproc)"
log_dir="$(mktemp -d /tmp/tarnwick-test.XXXXXX)"
# Counts and failed stages go through files, so that a stage may run in the background.
counts="$log_dir/counts"
failed_stages="$log_dir/failed-stages"
: >"$counts"
: >"$failed_stages"

tally() { echo "$1 $2" >>"$counts"; }

# Adds a ctest summary ("100% tests passed, 0 tests failed out of 45") to the totals.
count_ctest() {
    local summary total bad
    summary="$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$1" | tail -n 1)"
    if [[ -z "$summary" ]]; then
        tally 0 1
        return
    fi
    bad="$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$summary")"
    total="$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"$summary")"
    tally $((total - bad)) "$bad"
}

# Runs one test command and counts it as one test.
counted() {
    if "$@"; then
        tally 1 0
    else
        tally 0 1
        return 1
    fi
}

stage() {
    local name="$1" started=$SECONDS
    shift
    echo "=== $name"
    if ! "$@"; then
        echo "$name" >>"$failed_stages"
    fi
    echo "=== $name: $((SECONDS - started)) s"
}

# The programs, the simulator and the package come from the gcc build; the suite itself is
# compiled and run once, in the sanitizer build below, which is the same code and sees more.
# TARNWICK_NATIVE_TESTS=1 also builds and runs the suite here.
native_build() {
    local tests="${TARNWICK_NATIVE_TESTS:-0}"
    # -O2 without debug information: what the package ships, in two thirds of the time.
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE=-O2 \
        -DTARNWICK_TESTS="$([[ $tests == 1 ]] && echo ON || echo OFF)" &&
        cmake --build build -j "$jobs" || return 1
    [[ $tests == 1 ]] || return 0
    ctest --test-dir build -j "$jobs" --output-on-failure --timeout 120 | tee "$log_dir/native.log"
    local status=${PIPESTATUS[0]}
    count_ctest "$log_dir/native.log"
    return "$status"
}

# One clang build under AddressSanitizer and UndefinedBehaviorSanitizer serves both the suite
# and the fuzz targets: the whole core is built once with coverage and the sanitizers.
sanitizer_build() {
    cmake --preset fuzz && cmake --build --preset fuzz -j "$jobs"
}

sanitizer_tests() {
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
        ctest --test-dir build-fuzz -j "$jobs" --output-on-failure --timeout 180 |
        tee "$log_dir/asan.log"
    local status=${PIPESTATUS[0]}
    count_ctest "$log_dir/asan.log"
    return "$status"
}

# Each fuzz target for a bounded time, two at a time, on its committed seeds (what it finds
# goes to a scratch corpus); each target counts as one test.
fuzz_targets() {
    local seconds="${TARNWICK_FUZZ_SECONDS:-8}" status=0 pair target
    cmake --build --preset fuzz -j "$jobs" \
        --target fuzz_receive fuzz_settings fuzz_profile fuzz_parsers || return 1
    for pair in "receive settings" "profile parsers"; do
        local -A pids=()
        for target in $pair; do
            local options=(-max_total_time="$seconds" -timeout=10 -print_final_stats=1
                -artifact_prefix="$log_dir/$target-")
            [[ -f tests/fuzz/$target.dict ]] && options+=(-dict="tests/fuzz/$target.dict")
            mkdir -p "$log_dir/corpus-$target"
            # A whole profile as the simulator's read-all writes it today, so the seed never
            # lags behind the settings.
            if [[ $target == profile ]]; then
                build-fuzz/app/tarnwick-cli --simulate read-all 2>/dev/null \
                    >"$log_dir/corpus-profile/read-all" || return 1
            fi
            build-fuzz/tests/fuzz/"fuzz_$target" "${options[@]}" "$log_dir/corpus-$target" \
                "tests/fuzz/seeds/$target" >"$log_dir/fuzz-$target.log" 2>&1 &
            pids[$target]=$!
        done
        for target in $pair; do
            echo "--- fuzz_$target"
            if wait "${pids[$target]}"; then
                tally 1 0
                grep -E 'INFO: Loaded [0-9]+ modules|stat::number_of_executed_units' \
                    "$log_dir/fuzz-$target.log"
            else
                tally 0 1
                status=1
                tail -n 40 "$log_dir/fuzz-$target.log"
            fi
        done
    done
    return "$status"
}

# Every test program of the cross build runs under Wine; the serial channel also runs against
# the native simulator on a pseudo-terminal mapped as a COM port.
windows_tests() {
    [[ -x build/sim/tarnwick-devsim ]] || return 1
    cmake --preset windows -DTARNWICK_DEVSIM="$PWD/build/sim/tarnwick-devsim" &&
        cmake --build --preset windows -j "$jobs" || return 1
    ctest --preset windows --timeout 300 | tee "$log_dir/wine.log"
    local status=${PIPESTATUS[0]}
    count_ctest "$log_dir/wine.log"
    return "$status"
}

# The Linux package and the Windows installer and zip, gathered with their checksums in dist/,
# then installed, used and removed: the .deb with apt-get, the installer under Wine.
package_tests() {
    (cd build && cpack -G DEB) >"$log_dir/cpack.log" 2>&1 &&
        cmake --build --preset windows --target package >>"$log_dir/cpack.log" 2>&1 ||
        { tail -n 20 "$log_dir/cpack.log"; return 1; }
    rm -rf dist && mkdir dist &&
        cp build/tarnwick_*_amd64.deb build-windows/Tarnwick-*-win64-setup.exe \
            build-windows/Tarnwick-*-win64.zip dist/ &&
        (cd dist && sha256sum -- * >SHA256SUMS) || return 1
    cat dist/SHA256SUMS
    local status=0
    counted tests/packaging/deb-test.sh dist/tarnwick_*_amd64.deb || status=1
    counted tests/packaging/nsis-test.sh build-windows dist/Tarnwick-*-win64-setup.exe || status=1
    return "$status"
}

stage "native build (programs, simulator, package)" native_build
# The sanitizer branch runs beside the Windows branch: each has long waits on devices, clocks
# and Wine that the other's compiler can use. It yields the processor to the cross build, so
# that the Wine tests, which mostly wait, start early and its own build fills their waits.
{
    renice -n 10 -p "$BASHPID" >/dev/null
    stage "sanitizer build (with fuzzing coverage)" sanitizer_build
    stage "sanitizer tests" sanitizer_tests
    stage "fuzzing four targets for ${TARNWICK_FUZZ_SECONDS:-8}s each" fuzz_targets
} >"$log_dir/beside.log" 2>&1 &
beside=$!
stage "Windows build and serial tests under Wine" windows_tests
# The packages need only the two release builds, so they are made while the sanitizer branch
# is still at work.
stage "packages: build, install, use, remove" package_tests
wait "$beside"
cat "$log_dir/beside.log"

if [[ -s $failed_stages ]]; then
    sed 's/^/failed stage: /' "$failed_stages"
fi
read -r passed failed < <(awk '{p += $1; f += $2} END {print p + 0, f + 0}' "$counts")
echo "$((SECONDS - tests_started)) s after the packages were in place"
echo "total: $passed passed, $failed failed"
[[ ! -s $failed_stages ]] && ((failed == 0))
