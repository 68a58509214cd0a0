#!/usr/bin/env bash
# Runs every test: native unit tests, fuzzers, the C++ late-bound tests under Wine, the
# JScript/VBScript tests through cscript, and the registration round trip. Called by
# `./kelmo test` inside the Wine environment (prefix, display, registered DLL). Ends with
# "N passed, N failed" and a non-zero status when anything failed.
set -uo pipefail

ROOT="$KELMO_ROOT"
BUILD="$KELMO_BUILD"
WINBUILD="${KELMO_WINBUILD:-$BUILD/win}" # the build that runs under Wine here (see ./kelmo)
OUT="$BUILD/test-output"
mkdir -p "$OUT"
FUZZ_SECONDS="${KELMO_FUZZ_SECONDS:-20}"

passed=0
failed=0
failures=()

winpath() { printf 'Z:%s' "$(printf '%s' "$1" | tr '/' '\\')"; }
record() { # record <passed> <failed> <label>
    passed=$((passed + $1))
    failed=$((failed + $2))
    [ "$2" -gt 0 ] && failures+=("$3")
    printf '  %-40s %4d passed, %d failed\n' "$3" "$1" "$2"
}

# GoogleTest output: one "[       OK ]" line per passed test, one "[  FAILED  ] name (N ms)"
# per failed test. A run that dies early counts as one more failure.
count_gtest() { # count_gtest <label> <exit status> <log>
    local ok bad
    ok=$(grep -c '^\[       OK \]' "$3")
    bad=$(grep -cE '^\[  FAILED  \] .*\([0-9]+ ms\)' "$3")
    if [ "$2" -ne 0 ] && [ "$bad" -eq 0 ]; then bad=1; fi
    if ! grep -qE '^\[==========\] .* ran' "$3"; then
        echo "$1: the test program stopped before its end" >&2
        tail -3 "$3" >&2
        bad=$((bad + 1))
    fi
    [ "$bad" -gt 0 ] && grep -E '^\[  FAILED  \]|Failure|error:|Expected|Which is|Value of|  Actual|ERROR' "$3" | head -40 >&2
    record "$ok" "$bad" "$1"
}

run_native_unit() {
    local log="$OUT/unit.log"
    "$BUILD/native/kelmo_unit" >"$log" 2>&1
    count_gtest "native unit tests" $? "$log"
}

# Each fuzzer grows its own corpus; tests/unit/seeds/<fuzzer>/ holds the inputs of past findings.
run_fuzzers() {
    local f name log corpora
    for f in "$BUILD"/native/fuzz_*; do
        [ -x "$f" ] || continue
        name=$(basename "$f")
        log="$OUT/$name.log"
        mkdir -p "$OUT/$name-corpus"
        corpora=("$OUT/$name-corpus")
        [ -d "$ROOT/tests/unit/seeds/$name" ] && corpora+=("$ROOT/tests/unit/seeds/$name")
        if "$f" -max_total_time="$FUZZ_SECONDS" -rss_limit_mb=1024 -timeout=5 \
            "${corpora[@]}" >"$log" 2>&1; then
            record 1 0 "$name (${FUZZ_SECONDS}s)"
        else
            tail -30 "$log" >&2
            record 0 1 "$name (${FUZZ_SECONDS}s)"
        fi
    done
}

run_wine_gtest() {
    local log="$OUT/wine.log"
    (cd "$WINBUILD" && timeout 600 wine kelmo_wine_tests.exe) >"$log" 2>&1
    local rc=$?
    grep '^\[ figures' "$log" || true
    count_gtest "C++ late-bound tests (Wine)" $rc "$log"
}

# Each script test runs with its assertion helper in front of it, in its own cscript.
run_script_tests() {
    local t ext combined log ok bad
    mkdir -p "$OUT/scripts"
    for t in "$ROOT"/tests/wine/*_test.js "$ROOT"/tests/wine/*_test.vbs; do
        [ -f "$t" ] || continue
        ext="${t##*.}"
        combined="$OUT/scripts/$(basename "$t")"
        cat "$ROOT/tests/wine/assert.$ext" "$t" >"$combined"
        log="$OUT/scripts/$(basename "$t").log"
        timeout 300 wine cscript //nologo "$(winpath "$combined")" 2>&1 | tr -d '\r' >"$log"
        ok=$(grep -c '^ok ' "$log")
        bad=$(grep -c '^not ok ' "$log")
        grep '^not ok ' "$log" >&2
        if ! grep -qx 'done' "$log"; then
            echo "$(basename "$t"): stopped before its end" >&2
            tail -5 "$log" >&2
            bad=$((bad + 1))
        fi
        record "$ok" "$bad" "$(basename "$t") (cscript)"
    done
}

# Shell-level tests: each is a function that returns 0 on success.
export_classes() { wine reg export HKCR "$(winpath "$1")" /y >/dev/null 2>&1; }

typelib_platform() { [ "$WINBUILD" = "$BUILD/win" ] && echo win32 || echo win64; }

test_unregistration_removes_everything_registration_wrote() {
    local dll before after
    dll=$(winpath "$WINBUILD/Kelmo.dll")
    before="$OUT/hkcr-before.reg"
    after="$OUT/hkcr-after.reg"
    wine regsvr32 /s /u "$dll" || return 1
    export_classes "$before" || return 1
    wine regsvr32 /s "$dll" || return 1
    local key
    for key in 'HKCR\Kelmo.CKelmo\CLSID' \
        'HKCR\CLSID\{07B2D7B0-6EA9-4CA9-85C3-98C9CC261DB8}\InprocServer32 /v ThreadingModel' \
        'HKCR\TypeLib\{EA9E2B8F-776C-41A4-BF8C-59F9ADB5C57D}\3b.0\0\'"$(typelib_platform)" \
        'HKCR\Interface\{C2768D4D-3032-4C4E-A35A-E65DECE1249B}\ProxyStubClsid32'; do
        # shellcheck disable=SC2086 # the key and its /v option are meant to split
        wine reg query $key >/dev/null 2>&1 || { echo "not registered: $key" >&2; return 1; }
    done
    wine regsvr32 /s /u "$dll" || return 1
    export_classes "$after" || return 1
    wine regsvr32 /s "$dll" || return 1
    if ! cmp -s "$before" "$after"; then
        diff <(iconv -f UTF-16LE -t UTF-8 "$before") <(iconv -f UTF-16LE -t UTF-8 "$after") | head -20 >&2
        return 1
    fi
}

test_registration_failure_is_reported() {
    # A file that is no Kelmo.dll: regsvr32 must report failure through its exit status.
    local fake="$OUT/NotKelmo.dll"
    printf 'not a dll' >"$fake"
    ! wine regsvr32 /s "$(winpath "$fake")" >/dev/null 2>&1
}

# Both builds users install: build/win (i686) and build/win64 (x86_64).
dll_headers() { # dll_headers <callback>: runs callback <objdump -p output> <label> per build
    local build arch
    for build in win:i686 win64:x86_64; do
        arch=${build#*:}
        "$1" "$(LC_ALL=C "$arch-w64-mingw32-objdump" -p "$BUILD/${build%%:*}/Kelmo.dll")" "$arch" || return 1
    done
}

imports_are_system_libraries() {
    local imports
    imports=$(echo "$1" | awk '/DLL Name:/ {print tolower($3)}')
    [ -n "$imports" ] || { echo "$2: no imports read" >&2; return 1; }
    if echo "$imports" | grep -vqE '^(kernel32|user32|gdi32|advapi32|ole32|oleaut32|shell32|winmm|comctl32|psapi|msvcrt|api-ms-win-.*)\.dll$'; then
        echo "$2: unexpected imports: $imports" >&2
        return 1
    fi
}
test_dll_imports_only_system_libraries() { dll_headers imports_are_system_libraries; }

exports_are_the_four_server_functions() {
    local exports
    exports=$(echo "$1" | awk '/\[Ordinal\/Name Pointer\] Table/ {on=1; next} on && NF==0 {on=0} on {print $NF}' |
        sort | tr '\n' ' ')
    [ "$exports" = "DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer " ] ||
        { echo "$2: exports: $exports" >&2; return 1; }
}
test_dll_exports_exactly_the_four_server_functions() { dll_headers exports_are_the_four_server_functions; }

test_abort_in_the_pause_box_ends_the_script_at_once() {
    local dir="$OUT/abort"
    rm -rf "$dir" && mkdir -p "$dir"
    wine "$WINBUILD/tools/Pilot.exe" click Kelmo_Break 3 30000 >"$dir/pilot.log" 2>&1 &
    local pilot=$!
    timeout 60 wine cscript //nologo "$(winpath "$ROOT/tests/wine/scripts/abort.js")" "$(winpath "$dir")"
    wait "$pilot" || { echo "the pilot found no pause box" >&2; return 1; }
    [ -f "$dir/before-break" ] || { echo "the script did not get to Break" >&2; return 1; }
    [ ! -f "$dir/after-break" ] || { echo "the script went on after Abort" >&2; return 1; }
}

run_shell_tests() {
    local t
    for t in $(declare -F | awk '{print $3}' | grep '^test_'); do
        if "$t" >"$OUT/$t.log" 2>&1; then
            record 1 0 "${t#test_}"
        else
            cat "$OUT/$t.log" >&2
            record 0 1 "${t#test_}"
        fi
    done
}

echo "Running Kelmo's tests"
run_native_unit
run_fuzzers
run_shell_tests
run_wine_gtest
run_script_tests
if [ ${#failures[@]} -gt 0 ]; then
    echo "failed groups: ${failures[*]}"
fi
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
