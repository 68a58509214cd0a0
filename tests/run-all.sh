#!/usr/bin/env bash
# Runs every test inside ./kelmo's Wine environment: native unit tests, fuzzers, the DLL's
# registration, the installer and the examples, the C++ tests under Wine and the script tests
# through cscript. Ends with "N passed, N failed" (non-zero status on a failure).
set -uo pipefail

ROOT="$KELMO_ROOT" BUILD="$KELMO_BUILD" OUT="$KELMO_BUILD/test-output"
WINBUILD="${KELMO_WINBUILD:-$BUILD/win}" # the build that runs under Wine here (see ./kelmo)
FUZZ_SECONDS="${KELMO_FUZZ_SECONDS:-20}"
passed=0 failed=0 failures=()
mkdir -p "$OUT/scripts"

winpath() { printf 'Z:%s' "$(printf '%s' "$1" | tr '/' '\\')"; }
record() { # record <passed> <failed> <label>
    passed=$((passed + $1)) failed=$((failed + $2)) && [ "$2" -gt 0 ] && failures+=("$3")
    printf '  %-40s %4d passed, %d failed\n' "$3" "$1" "$2"
}

# run_counted <label> <log> <pass pattern> <fail pattern> <end pattern> <command...>: counts the
# log's lines of each pattern; a failing run without a failing line, or one without its end line,
# counts as one failure more.
run_counted() {
    local label=$1 log=$2 pass=$3 fail=$4 end=$5 status ok bad
    shift 5
    "$@" 2>&1 | tr -d '\r' >"$log"
    status=${PIPESTATUS[0]} ok=$(grep -cE "$pass" "$log") bad=$(grep -cE "$fail" "$log")
    [ "$status" -ne 0 ] && [ "$bad" -eq 0 ] && bad=1
    grep -qE "$end" "$log" || { echo "$label: stopped before its end" && tail -5 "$log"; bad=$((bad + 1)); } >&2
    [ "$bad" -gt 0 ] && grep -E "$fail|Failure|Expected|Which is|Value of|  Actual|ERROR" "$log" | head -40 >&2
    record "$ok" "$bad" "$label"
}
run_gtest() { run_counted "$1" "$2" '^\[       OK \]' '^\[  FAILED  \] .*\([0-9]+ ms\)' '^\[==========\] .* ran' "${@:3}"; }
# A script test prints "ok ..." or "not ok ..." per check and "done" at its end.
script_test() { cat "$ROOT/tests/wine/assert.${1##*.}" "$1" >"$2" && timeout 300 wine cscript //nologo "$(winpath "$2")"; }
check() { # check <label> <log> <command...>: passed when the command succeeds
    if "${@:3}" >"$2" 2>&1; then record 1 0 "$1"; else tail -30 "$2" >&2 && record 0 1 "$1"; fi
}

export_classes() { wine reg export HKCR "$(winpath "$1")" /y >/dev/null 2>&1; }
test_unregistration_removes_everything_registration_wrote() {
    local key dll platform=win64 before="$OUT/hkcr-before.reg" after="$OUT/hkcr-after.reg"
    dll=$(winpath "$WINBUILD/Kelmo.dll")
    [ "$WINBUILD" = "$BUILD/win" ] && platform=win32
    wine regsvr32 /s /u "$dll" && export_classes "$before" && wine regsvr32 /s "$dll" || return 1
    for key in 'HKCR\Kelmo.CKelmo\CLSID' \
        'HKCR\CLSID\{07B2D7B0-6EA9-4CA9-85C3-98C9CC261DB8}\InprocServer32 /v ThreadingModel' \
        'HKCR\TypeLib\{EA9E2B8F-776C-41A4-BF8C-59F9ADB5C57D}\3b.0\0\'"$platform" \
        'HKCR\Interface\{C2768D4D-3032-4C4E-A35A-E65DECE1249B}\ProxyStubClsid32'; do
        # shellcheck disable=SC2086 # the key and its /v option are meant to split
        wine reg query $key >/dev/null 2>&1 || { echo "not registered: $key" >&2; return 1; }
    done
    wine regsvr32 /s /u "$dll" && export_classes "$after" && wine regsvr32 /s "$dll" || return 1
    diff <(iconv -f UTF-16LE -t UTF-8 "$before") <(iconv -f UTF-16LE -t UTF-8 "$after") | head -20 >&2
}

# Both builds users install: system DLLs only, and exactly the four server functions.
test_dll_imports_system_libraries_and_exports_the_server_functions() {
    local build headers
    for build in win:i686 win64:x86_64; do
        headers=$(LC_ALL=C "${build#*:}-w64-mingw32-objdump" -p "$BUILD/${build%%:*}/Kelmo.dll") || return 1
        echo "$headers" | awk '/DLL Name:/ {print tolower($3)}' | grep -qvE '^(kernel32|user32|gdi32|advapi32|ole32|oleaut32|shell32|winmm|comctl32|psapi|msvcrt|api-ms-win-.*)\.dll$' &&
            { echo "$build imports more than system DLLs" >&2; return 1; }
        [ "$(echo "$headers" | awk '/\[Ordinal\/Name Pointer\] Table/ {on=1; next} on && !NF {on=0} on {print $NF}' | sort | xargs)" = \
            "DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer" ] || { echo "$build exports" >&2; return 1; }
    done
}

source "$ROOT/tests/install.sh"  # the installer, in a prefix of its own
source "$ROOT/tests/examples.sh" # the examples, run as a user runs them

echo "Running Kelmo's tests"
run_gtest "native unit tests" "$OUT/unit.log" "$BUILD/native/kelmo_unit"
# Each fuzzer grows its own corpus; tests/unit/seeds/<fuzzer>/ holds the inputs of past findings.
for f in "$BUILD"/native/fuzz_*; do
    [ -x "$f" ] || continue
    name=$(basename "$f") && corpora=("$OUT/$name-corpus")
    [ -d "$ROOT/tests/unit/seeds/$name" ] && corpora+=("$ROOT/tests/unit/seeds/$name")
    mkdir -p "${corpora[0]}" && check "$name (${FUZZ_SECONDS}s)" "$OUT/$name.log" "$f" -max_total_time="$FUZZ_SECONDS" \
        -rss_limit_mb=1024 -timeout=5 "${corpora[@]}"
done
for t in $(declare -F | awk '{print $3}' | grep '^test_'); do check "${t#test_}" "$OUT/$t.log" "$t"; done
run_gtest "C++ late-bound tests (Wine)" "$OUT/wine.log" env -C "$WINBUILD" timeout 600 wine kelmo_wine_tests.exe
grep '^\[ figures' "$OUT/wine.log"
for t in "$ROOT"/tests/wine/*_test.js "$ROOT"/tests/wine/*_test.vbs; do
    run_counted "$(basename "$t") (cscript)" "$OUT/scripts/$(basename "$t").log" '^ok ' '^not ok ' '^done$' \
        script_test "$t" "$OUT/scripts/$(basename "$t")"
done
[ ${#failures[@]} -gt 0 ] && echo "failed groups: ${failures[*]}"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
