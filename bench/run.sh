#!/usr/bin/env bash
# Runs Kelmo's benchmarks and prints one line per figure with its goal and PASS or MISS. Called
# by `./kelmo bench` inside the Wine environment (prefix, display, registered Kelmo.dll), with
# KELMO_ROOT and KELMO_BUILD set. The waits count the machine's idleness, so the figures vary
# with its load: the report starts with the load average, and each component figure says how
# busy the machine was while it was measured. Logs and texts stay in build/bench-output.
#
# Figures (KelmoBench.exe in build/win/tools measures them, see bench/bench.cpp):
#   clock-sleep     the platform clock's 25 ms sleep (no goal; explains the pace-wait figure)
#   pace-wait       the time of AppNum reads (a guarded member: pump, Pause check, PaceWait)
#   launch-wait     Rest(1) after ODOff minus the same Rest(1) with Repeat = 0
#   rest-cpu        GetProcessTimes around Rest(10), as a share of one core
#   usage-*         the usage figure (processor times) against /proc/stat over the same
#                   1-second windows, idle and with one core kept busy by this script
#   send-overhead   Send of N pieces with fast pacing, minus its specified waits, per piece
#   inject-*        the key injector into KeyRec (bare window, edit control) against
#                   `xdotool type --delay 0` (the peer) and a bare SendInput burst (the target's
#                   own limit), each verified character for character
set -uo pipefail

BUILD="$KELMO_BUILD"
TOOLS="${KELMO_WINBUILD:-$BUILD/win}/tools"
OUT="$BUILD/bench-output"
RUNS="${KELMO_BENCH_RUNS:-3}"
BARE_CHARS="${KELMO_BENCH_BARE_CHARS:-10000}"
EDIT_CHARS="${KELMO_BENCH_EDIT_CHARS:-1000}"
USAGE_WINDOWS=8
SEND_PIECES=300

rm -rf "$OUT"
mkdir -p "$OUT"
cd "$OUT" || exit 1

passes=0
misses=0
BUSY_PID=""
RECORDER_PID=""

winpath() { printf 'Z:%s' "$(printf '%s' "$1" | tr '/' '\\')"; }
now_us() { printf '%s' "${EPOCHREALTIME//[!0-9]/}"; }
bench() { wine "$TOOLS/KelmoBench.exe" "$@"; }

# Prints a figure line and counts its verdict.
report() {
    printf '%s\n' "$1"
    case "$1" in
    *" PASS"*) passes=$((passes + 1)) ;;
    *" MISS"*) misses=$((misses + 1)) ;;
    esac
}

# A KelmoBench command whose output is one report line; a failure is a missed figure.
bench_figure() { # bench_figure <label> <command...>
    local label=$1 line
    shift
    if line=$(bench "$@" 2>"$OUT/$label.err") && [ -n "$line" ]; then
        report "$line"
    else
        report "$label: could not be measured ($(tail -1 "$OUT/$label.err")) MISS"
    fi
}

stop_busy_loop() {
    [ -n "$BUSY_PID" ] && kill "$BUSY_PID" 2>/dev/null && wait "$BUSY_PID" 2>/dev/null
    BUSY_PID=""
}

# --- the key recorder -------------------------------------------------------------------------

# Starts KeyRec.exe on a fresh log and waits until it is in front with the focus.
start_recorder() { # start_recorder <log> <title> [--edit]
    local log=$1 title=$2
    shift 2
    rm -f "$log" "$log".*
    wine "$TOOLS/KeyRec.exe" "$(winpath "$log")" "$title" "$@" >"$log.out" 2>&1 &
    RECORDER_PID=$!
    for _ in $(seq 200); do
        grep -q '^READY' "$log.out" 2>/dev/null && return 0
        kill -0 "$RECORDER_PID" 2>/dev/null || break
        sleep 0.05
    done
    echo "bench: KeyRec did not come up: $(cat "$log.out")" >&2
    stop_recorder "$log"
    return 1
}

# Asks KeyRec to end (with --edit it then writes <log>.text) and waits for it.
stop_recorder() { # stop_recorder <log>
    [ -n "$RECORDER_PID" ] || return 0
    touch "$1.quit"
    for _ in $(seq 100); do
        kill -0 "$RECORDER_PID" 2>/dev/null || break
        sleep 0.05
    done
    kill "$RECORDER_PID" 2>/dev/null
    wait "$RECORDER_PID" 2>/dev/null
    RECORDER_PID=""
}

cleanup() {
    stop_busy_loop
    [ -n "$RECORDER_PID" ] && kill "$RECORDER_PID" 2>/dev/null
}
trap cleanup EXIT

# --- the usage figure against /proc/stat --------------------------------------------------------

# At each of the next <count> whole seconds: "<second> <the cpu line's numbers>".
sample_proc_stat() { # sample_proc_stat <count>
    local i now next wait_us line
    for ((i = 0; i < $1; i++)); do
        now=$(now_us)
        next=$((now / 1000000 + 1))
        wait_us=$((next * 1000000 - now))
        sleep "$((wait_us / 1000000)).$(printf '%06d' $((wait_us % 1000000)))"
        read -r line </proc/stat
        printf '%s %s\n' "$next" "${line#cpu }"
    done
}

# KelmoBench's WINDOW lines against /proc/stat over the same seconds. /proc/stat's busy share:
# everything but idle and iowait, of user..steal.
usage_figure() { # usage_figure <label>
    local label=$1 stat="$OUT/usage-$1.procstat" windows="$OUT/usage-$1.windows"
    # The sampler covers KelmoBench's start and its windows; it has taken the last window's
    # closing sample by the time KelmoBench has printed that window and ended.
    sample_proc_stat $((USAGE_WINDOWS + 8)) >"$stat" &
    local sampler=$!
    bench usage "$USAGE_WINDOWS" >"$windows" 2>"$OUT/usage-$label.err"
    sleep 0.3
    kill "$sampler" 2>/dev/null
    wait "$sampler" 2>/dev/null
    awk -v label="$label" '
        FNR == NR { for (i = 2; i <= 9; i++) { t[$1] += $i } idle[$1] = $5 + $6; next }
        $1 == "WINDOW" && ($2 in t) && (($2 + 1) in t) {
            total = t[$2 + 1] - t[$2]
            if (total <= 0) next
            os = 100 * (total - (idle[$2 + 1] - idle[$2])) / total
            d = $3 - os; if (d < 0) d = -d
            n++; sumk += $3; sumo += os; if (d > worst) worst = d
            diffs[n] = d
        }
        END {
            if (n == 0) { printf "usage-%s: no matching windows MISS\n", label; exit }
            for (i = 2; i <= n; i++) {  # insertion sort: mawk has no asort
                v = diffs[i]
                for (j = i - 1; j >= 1 && diffs[j] > v; j--) diffs[j + 1] = diffs[j]
                diffs[j + 1] = v
            }
            med = (n % 2) ? diffs[(n + 1) / 2] : (diffs[n / 2] + diffs[n / 2 + 1]) / 2
            printf "usage-%s worst window %.1f pp apart (goal <= 5 pp) %s   [%d windows of 1 s: Kelmo %.1f%%, /proc/stat %.1f%% on average, median gap %.1f pp]\n",
                label, worst, (worst <= 5 ? "PASS" : "MISS"), n, sumk / n, sumo / n, med
        }' "$stat" "$windows"
}

# --- typing --------------------------------------------------------------------------------------

# One typing run into a fresh recorder: "<ms> <VERIFY line>".
typing_run() { # typing_run <method> <text> <length> <log> <title> [--edit]
    local method=$1 text=$2 length=$3 log=$4 title=$5 mode=${6:-} ms="" result start
    start_recorder "$log" "$title" $mode || { echo "- VERIFY no recorder"; return; }
    case "$method" in
    injector)
        result=$(bench type "$(winpath "$text")" "$(winpath "$log")" 2>>"$log.err")
        ms=$(sed -n 's/^RESULT ms=\([0-9.]*\).*/\1/p' <<<"$result")
        ;;
    burst)
        result=$(bench burst "$(winpath "$text")" "$(winpath "$log")" 2>>"$log.err")
        ms=$(sed -n 's/^RESULT ms=\([0-9.]*\).*/\1/p' <<<"$result")
        ;;
    peer)
        # xdotool types through the X server into the focused window; KelmoBench watches the
        # log and gives the wall-clock time of the last character.
        bench watch "$(winpath "$log")" "$length" >"$log.watch" 2>>"$log.err" &
        local watcher=$!
        for _ in $(seq 200); do
            grep -q WATCHING "$log.watch" 2>/dev/null && break
            sleep 0.05
        done
        start=$(now_us)
        xdotool type --delay 0 --file "$text" 2>>"$log.err"
        wait "$watcher"
        local last
        last=$(sed -n 's/^RESULT last_us=\([0-9]*\).*/\1/p' "$log.watch")
        [ -n "$last" ] && ms=$(awk -v a="$start" -v b="$last" 'BEGIN { printf "%.1f", (b - a) / 1000 }')
        ;;
    esac
    stop_recorder "$log"
    printf '%s %s\n' "${ms:--}" "$(bench verify "$(winpath "$text")" "$(winpath "$log")" $mode 2>&1)"
}

median() { sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) print 0; else if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Median characters per second of one method in a runs file ("<method> <run> <ms> VERIFY ...").
typing_rate() { # typing_rate <runs file> <method> <length>
    awk -v m="$2" -v n="$3" '$1 == m && $3 != "-" && $3 > 0 { print n * 1000 / $3 }' "$1" | median
}

# The injector's rate as a share of another method's, run by run (the two ran one after the
# other, under much the same load), as the median over the runs, in percent.
paired_share() { # paired_share <runs file> <other method>
    awk -v m="$2" '$3 != "-" && $3 > 0 { ms[$1 " " $2] = $3 }
        $1 == "injector" { runs[$2] = 1 }
        END { for (r in runs) if (("injector " r) in ms && (m " " r) in ms) print 100 * ms[m " " r] / ms["injector " r] }' "$1" | median
}

# How many runs of one method arrived exactly.
exact_runs() { # exact_runs <runs file> <method>
    awk -v m="$2" '$1 == m && $5 == "exact" { n++ } END { print n + 0 }' "$1"
}

# The three ways of typing the same text into the same kind of window, interleaved, RUNS times.
typing_figures() { # typing_figures <target label> <length> [--edit]
    local label=$1 length=$2 mode=${3:-} text="$OUT/text-$1.txt" run method line
    bench maketext "$(winpath "$text")" "$length"
    : >"$OUT/typing-$label.runs"
    for ((run = 1; run <= RUNS; run++)); do
        for method in injector burst peer; do
            line=$(typing_run "$method" "$text" "$length" "$OUT/keys-$label-$method-$run.log" \
                "KelmoBench $label" $mode)
            printf '%s %s %s\n' "$method" "$run" "$line" >>"$OUT/typing-$label.runs"
        done
    done
    local runs="$OUT/typing-$label.runs" injector peer limit of_peer of_limit
    injector=$(typing_rate "$runs" injector "$length")
    peer=$(typing_rate "$runs" peer "$length")
    limit=$(typing_rate "$runs" burst "$length")
    of_peer=$(paired_share "$runs" peer)
    of_limit=$(paired_share "$runs" burst)
    printf '%s\n' "typing into $label: injector $(printf '%.0f' "$injector") chars/s, peer (xdotool) $(printf '%.0f' "$peer") chars/s, target's limit (bare burst) $(printf '%.0f' "$limit") chars/s   [medians of $RUNS runs of $length characters; exact runs: injector $(exact_runs "$runs" injector), peer $(exact_runs "$runs" peer), burst $(exact_runs "$runs" burst) of $RUNS]"
    report "$(awk -v p="$of_peer" -v t="$label" 'BEGIN {
        printf "inject-vs-peer %s %.1f%% of the peer'"'"'s rate (goal >= 100%%) %s   [median of the runs'"'"' ratios]\n", t, p, (p >= 100 ? "PASS" : "MISS") }')"
    report "$(awk -v p="$of_limit" -v t="$label" 'BEGIN {
        printf "inject-vs-limit %s %.1f%% of the target'"'"'s limit (goal >= 90%%) %s   [median of the runs'"'"' ratios]\n", t, p, (p >= 90 ? "PASS" : "MISS") }')"
    local bad
    bad=$(awk '$1 == "injector" && $5 != "exact"' "$runs")
    if [ -z "$bad" ]; then
        report "inject-exact $label 0 lost, doubled or reordered in $RUNS x $length characters (goal 0) PASS"
    else
        report "inject-exact $label not exact: $(printf '%s' "$bad" | cut -d' ' -f5- | head -1) (goal 0 lost, doubled or reordered) MISS"
    fi
}

# --- the report ----------------------------------------------------------------------------------

echo "Kelmo bench $(date '+%Y-%m-%d %H:%M')   $(nproc) cores, load average at start $(cut -d' ' -f1-3 /proc/loadavg), $(wine --version 2>/dev/null)"
started=$(now_us)

bench_figure clock-sleep sleep 40
bench_figure pace-wait pace 40
bench_figure launch-wait launch "$RUNS"
bench_figure rest-cpu restcpu "$RUNS"

report "$(usage_figure idle)"
(while :; do :; done) &
BUSY_PID=$!
report "$(usage_figure one-core-busy)"
stop_busy_loop

if start_recorder "$OUT/keys-send.log" "KelmoBench send"; then
    bench_figure send-overhead send "$(winpath "$OUT/keys-send.log")" "$SEND_PIECES" "$RUNS"
    stop_recorder "$OUT/keys-send.log"
else
    report "send-overhead: the key recorder did not start MISS"
fi

typing_figures "bare-window" "$BARE_CHARS"
typing_figures "edit-control" "$EDIT_CHARS" --edit

echo "$((passes + misses)) figures: $passes PASS, $misses MISS   ($(( ($(now_us) - started) / 1000000 )) s; logs in $OUT)"
