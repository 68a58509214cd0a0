# The examples a user starts from, each run as a user runs it (cscript on the virtual desktop),
# with the pilot answering its boxes. Sourced by run-all.sh, whose environment (display, the
# wine commands, $OUT, winpath) it uses.
EXAMPLES="$ROOT/examples"
PILOT="$WINBUILD/tools/Pilot.exe"

# run_example <log> <script> [args...]: the script's output, one line each, in UTF-8.
run_example() {
    local log="$1" script="$2"
    shift 2
    timeout 180 wine cscript //nologo "$(winpath "$EXAMPLES/$script")" "$@" 2>&1 | tr -d '\r' |
        iconv -c -f CP932 -t UTF-8 >"$log"
}

# expect_line <log> <line>: the output holds the line.
expect_line() {
    grep -qxF "$2" "$1" && return 0
    echo "missing \"$2\" in:" >&2
    cat "$1" >&2
    return 1
}

# pilot_clicks <caption> <button id> <timeout ms>: in the background; `wait` for its verdict.
pilot_clicks() { wine "$PILOT" click "$1" "$2" "$3" >>"$OUT/examples-pilot.log" 2>&1 & }

test_example_letter_is_typed_into_notepad_and_saved() {
    local dir="$OUT/example-letter" log="$OUT/example-letter.log"
    rm -rf "$dir" && mkdir -p "$dir"
    run_example "$log" letter.js "$(winpath "$dir/letter.txt")"
    expect_line "$log" "Saved the letter as $(winpath "$dir/letter.txt")" || return 1
    iconv -f CP932 -t UTF-8 "$dir/letter.txt" | tr -d '\r' |
        diff - <(printf '%s\n' 'Dear Ada,' '' 'the meeting moves to Thursday, 10:00, in the small room.' \
            'Please bring the figures of the last quarter.' '' 'Kind regards,' 'Grace') >&2
}

test_example_gather_and_review_shows_each_file_and_deletes_the_copy_on_yes() {
    local source="$OUT/example-gather" log="$OUT/example-gather.log" pilot
    rm -rf "$source" && mkdir -p "$source"
    printf 'first\r\n' >"$source/one.txt"
    printf 'second\r\n' >"$source/two.txt"
    printf 'not gathered\r\n' >"$source/three.log"
    pilot_clicks Kelmo_Popup2 6 60000
    pilot=$!
    run_example "$log" gather-and-review.vbs "$(winpath "$source")"
    wait "$pilot" || { echo "the pilot found no question" >&2; return 1; }
    expect_line "$log" "Showed 2 file(s)." && expect_line "$log" "Deleted the gathered copy."
}

test_example_timed_question_takes_the_branch_answered() {
    local log="$OUT/example-question.log" question box
    pilot_clicks Kelmo_Popup2 7 30000
    question=$!
    pilot_clicks 'Kelmo example' 1 30000
    box=$!
    run_example "$log" timed-question.vbs
    wait "$question" || { echo "the pilot found no question" >&2; return 1; }
    wait "$box" || { echo "the pilot found no answer box" >&2; return 1; }
    expect_line "$log" "No: nothing written."
}

test_example_two_apps_are_switched_and_both_closed() {
    local log="$OUT/example-two-apps.log"
    run_example "$log" two-apps.js
    expect_line "$log" "Launched notepad as 1 and WordPad as 2." &&
        expect_line "$log" "Closed both without saving." || return 1
    ! wine tasklist 2>/dev/null | grep -qiE '^(notepad|wordpad)\.exe' ||
        { echo "an application was left open" >&2; return 1; }
}

test_example_long_run_pauses_on_the_pause_key_and_resumes() {
    local log="$OUT/example-long-run.log" pilot run waited=0
    # Written as it comes (no conversion, which would hold the lines back): the Pause key is
    # pressed once the first line is typed.
    rm -f "$log"
    timeout 180 wine cscript //nologo "$(winpath "$EXAMPLES/long-run.vbs")" 3 >"$log" 2>&1 &
    run=$!
    until grep -q '^Wrote line 1' "$log" 2>/dev/null || [ $waited -ge 240 ]; do
        sleep 0.5
        waited=$((waited + 1))
    done
    # The Pause key, then the pilot once the box has come up (a button pressed while the box is
    # still being made can be lost under Wine).
    xdotool key Pause && sleep 2
    pilot_clicks Kelmo_Break 4 30000
    pilot=$!
    wait "$pilot" || { echo "the Pause key opened no pause box" >&2; wait "$run"; return 1; }
    wait "$run"
    tr -d '\r' <"$log" | grep -qx 'Done: 3 lines.' || { cat "$log" >&2; return 1; }
}
