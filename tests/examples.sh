# The examples a user starts from, each run as a user runs it (cscript on the virtual desktop),
# Pilot.exe answering its boxes. Sourced by run-all.sh (its display, wine, $OUT, winpath).
PILOT="$WINBUILD/tools/Pilot.exe" EXAMPLE_LOG="$OUT/example.log" pilots=()

# pilot_clicks <caption> <button id> <timeout ms>: presses the button once the box is up.
pilot_clicks() { wine "$PILOT" click "$@" >>"$OUT/examples-pilot.log" 2>&1 & pilots+=($!); }

# run_example <script> [args...]: its output, in UTF-8, in $EXAMPLE_LOG; then every pilot
# started before it must have pressed its button.
run_example() {
    local pilot status=0
    timeout 180 wine cscript //nologo "$(winpath "$ROOT/examples/$1")" "${@:2}" 2>&1 |
        tr -d '\r' | iconv -c -f CP932 -t UTF-8 >"$EXAMPLE_LOG"
    for pilot in "${pilots[@]}"; do wait "$pilot" || { echo "a pilot found no box" >&2 && status=1; }; done
    pilots=() && return $status
}
expect_lines() { # expect_lines <line...>: the example's output holds each line
    local line
    for line in "$@"; do grep -qxF "$line" "$EXAMPLE_LOG" || { echo "missing \"$line\" in:" && cat "$EXAMPLE_LOG" && return 1; } >&2; done
}

test_example_letter_is_typed_into_notepad_and_saved() {
    local letter="$OUT/example-letter/letter.txt"
    rm -rf "${letter%/*}" && mkdir -p "${letter%/*}"
    run_example letter.js "$(winpath "$letter")" && expect_lines "Saved the letter as $(winpath "$letter")" &&
        iconv -f CP932 -t UTF-8 "$letter" | tr -d '\r' | diff - <(printf '%s\n' 'Dear Ada,' '' \
            'the meeting moves to Thursday, 10:00, in the small room.' \
            'Please bring the figures of the last quarter.' '' 'Kind regards,' 'Grace') >&2
}

test_example_gather_and_review_shows_each_file_and_deletes_the_copy_on_yes() {
    local source="$OUT/example-gather"
    rm -rf "$source" && mkdir -p "$source" && printf 'first\r\n' >"$source/one.txt"
    printf 'second\r\n' >"$source/two.txt" && printf 'not gathered\r\n' >"$source/three.log"
    pilot_clicks Kelmo_Popup2 6 60000
    run_example gather-and-review.vbs "$(winpath "$source")" && expect_lines "Showed 2 file(s)." "Deleted the gathered copy."
}

test_example_timed_question_takes_the_branch_answered() {
    pilot_clicks Kelmo_Popup2 7 30000 && pilot_clicks 'Kelmo example' 1 30000
    run_example timed-question.vbs && expect_lines "No: nothing written."
}

test_example_two_apps_are_switched_and_both_closed() {
    run_example two-apps.js && expect_lines "Launched notepad as 1 and WordPad as 2." "Closed both without saving." &&
        ! wine tasklist 2>/dev/null | grep -iE '^(notepad|wordpad)\.exe' >&2
}

# The output is read as it comes (a conversion would hold the lines back): the Pause key goes once
# the first line is typed, the pilot once the box is up (a button pressed while the box is still
# being made can be lost under Wine).
test_example_long_run_pauses_on_the_pause_key_and_resumes() {
    local log="$OUT/example-long-run.log" run waited=0
    rm -f "$log"
    timeout 180 wine cscript //nologo "$(winpath "$ROOT/examples/long-run.vbs")" 3 >"$log" 2>&1 &
    run=$!
    until grep -q '^Wrote line 1' "$log" 2>/dev/null || [ $((waited++)) -ge 240 ]; do sleep 0.5; done
    xdotool key Pause && sleep 2
    wine "$PILOT" click Kelmo_Break 4 30000 >>"$OUT/examples-pilot.log" 2>&1 ||
        { echo "the Pause key opened no pause box" >&2; wait "$run"; return 1; }
    wait "$run"; tr -d '\r' <"$log" | grep -qx 'Done: 3 lines.' || { cat "$log" >&2; return 1; }
}
