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
#   rest-cpu        GetProcessTimes around Rest(10), as a share of one core, against as many
#                   steps of the platform alone (its clock's sleep and one usage sample)
#   usage-*         the usage figure (processor times) against /proc/stat over the same
#                   1-second windows, idle and with one core kept busy by this script
#   send-overhead   Send of N pieces with fast pacing, minus its specified waits, per piece
#   inject-*        the key injector into KeyRec (bare window, edit control) against
#                   `xdotool type --delay 0` (the peer) and a bare SendInput burst (the target's
#                   own limit), each verified character for character
#   objects         creating the object and a first call from C++ and from cscript, against
#                   Scripting.Dictionary; the hosts' private bytes after 10,000 objects
#   viewer          FrmShow of a picture and of a 100-line text until painted
#   launch          Exec and Run beyond their waits and the launch itself
#   copy            FldCopy against xcopy /e: 1,000 small files, one file of 200 MB
#   popup           Popup's 1-second time-out
#   rest-atoms      Rest(1, True) with Atom 1 against Atom 25
#
# The figures' rows (RECORD lines, see record() in bench/common.h) are gathered and written to
# BENCHMARKS.md (KELMO_BENCH_REPORT names another file), each table with the paragraph of
# bench/figures.md on what limits it.
set -uo pipefail

BUILD="$KELMO_BUILD"
TOOLS="${KELMO_WINBUILD:-$BUILD/win}/tools"
OUT="$BUILD/bench-output"
RUNS="${KELMO_BENCH_RUNS:-3}"
BARE_CHARS="${KELMO_BENCH_BARE_CHARS:-10000}"
EDIT_CHARS="${KELMO_BENCH_EDIT_CHARS:-1000}"
USAGE_WINDOWS=8
SEND_PIECES=300

REPORT="${KELMO_BENCH_REPORT:-$KELMO_ROOT/BENCHMARKS.md}"
RECORDS="$OUT/records.tsv"

rm -rf "$OUT"
mkdir -p "$OUT"
cd "$OUT" || exit 1
: >"$RECORDS"

passes=0
misses=0
BUSY_PID=""
RECORDER_PID=""

winpath() { printf 'Z:%s' "$(printf '%s' "$1" | tr '/' '\\')"; }
now_us() { printf '%s' "${EPOCHREALTIME//[!0-9]/}"; }
bench() { wine "$TOOLS/KelmoBench.exe" "$@"; }

# Prints a figure line and counts its verdict; RECORD lines go to the records instead.
report() {
    local line
    while IFS= read -r line; do
        case "$line" in
        RECORD*) printf '%s\n' "$line" >>"$RECORDS"; continue ;;
        esac
        printf '%s\n' "$line"
        case "$line" in
        *" PASS"*) passes=$((passes + 1)) ;;
        *" MISS"*) misses=$((misses + 1)) ;;
        esac
    done <<<"$1"
}

# A KelmoBench command whose output is its report line and its records; a failure is a missed
# figure.
bench_figure() { # bench_figure <label> <command...>
    local label=$1 output
    shift
    if output=$(bench "$@" 2>"$OUT/$label.err") && [ -n "$output" ]; then
        report "$output"
    else
        report "$label: could not be measured ($(tail -1 "$OUT/$label.err")) MISS"
        printf 'RECORD\t%s\t(could not be measured: %s)\t-\t-\t-\t-\t0\t-\tMISS\n' "$label" \
            "$(tail -1 "$OUT/$label.err" | tr '\t' ' ')" >>"$RECORDS"
    fi
}

# The values on stdin (one per line) as a RECORD row: median, p10 and p90 (nearest rank).
spread_record() { # spread_record <figure> <row> <unit> <decimals> <goal> <verdict>
    sort -g | awk -v f="$1" -v r="$2" -v u="$3" -v d="$4" -v g="$5" -v v="$6" '
        { x[NR] = $1 }
        function rank(p,  i) { i = int(p * NR); if (i < p * NR) i++; if (i < 1) i = 1; return x[i] }
        END {
            if (NR == 0) { printf "RECORD\t%s\t%s\t%s\t-\t-\t-\t0\t%s\t%s\n", f, r, u, g, v; exit }
            m = (NR % 2) ? x[(NR + 1) / 2] : (x[NR / 2] + x[NR / 2 + 1]) / 2
            fmt = "%." d "f"
            printf "RECORD\t%s\t%s\t%s\t" fmt "\t" fmt "\t" fmt "\t%d\t%s\t%s\n", f, r, u, m, rank(0.1), rank(0.9), NR, g, v
        }'
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

# KelmoBench's WINDOW lines against /proc/stat over the same seconds, one line per window:
# "<gap in pp> <Kelmo's percent> </proc/stat's percent>". /proc/stat's busy share: everything
# but idle and iowait, of user..steal.
usage_windows() { # usage_windows <procstat file> <windows file>
    awk 'FNR == NR { for (i = 2; i <= 9; i++) { t[$1] += $i } idle[$1] = $5 + $6; next }
        $1 == "WINDOW" && ($2 in t) && (($2 + 1) in t) {
            total = t[$2 + 1] - t[$2]
            if (total <= 0) next
            os = 100 * (total - (idle[$2 + 1] - idle[$2])) / total
            d = $3 - os
            print (d < 0 ? -d : d), $3, os
        }' "$1" "$2"
}

usage_figure() { # usage_figure <label>
    local label=$1 stat="$OUT/usage-$1.procstat" windows="$OUT/usage-$1.windows"
    local compared="$OUT/usage-$1.compared"
    # The sampler covers KelmoBench's start and its windows; it has taken the last window's
    # closing sample by the time KelmoBench has printed that window and ended.
    sample_proc_stat $((USAGE_WINDOWS + 8)) >"$stat" &
    local sampler=$!
    bench usage "$USAGE_WINDOWS" >"$windows" 2>"$OUT/usage-$label.err"
    sleep 0.3
    kill "$sampler" 2>/dev/null
    wait "$sampler" 2>/dev/null
    usage_windows "$stat" "$windows" | sort -g >"$compared"
    local verdict
    verdict=$(tail -1 "$compared" | awk '{ print ($1 <= 5 ? "PASS" : "MISS") }')
    cut -d' ' -f1 "$compared" | spread_record usage \
        "$label: Kelmo's usage figure against /proc/stat, gap per 1-s window" "pp" 1 \
        "<= 5 pp (worst)" "${verdict:-MISS}" >>"$RECORDS"
    awk -v label="$label" '
        { n++; d[n] = $1; sumk += $2; sumo += $3 }
        END {
            if (n == 0) { printf "usage-%s: no matching windows MISS\n", label; exit }
            med = (n % 2) ? d[(n + 1) / 2] : (d[n / 2] + d[n / 2 + 1]) / 2
            printf "usage-%s worst window %.1f pp apart (goal <= 5 pp) %s   [%d windows of 1 s: Kelmo %.1f%%, /proc/stat %.1f%% on average, median gap %.1f pp]\n",
                label, d[n], (d[n] <= 5 ? "PASS" : "MISS"), n, sumk / n, sumo / n, med
        }' "$compared"
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
    paired_shares "$1" "$2" | median
}

# The injector's rate as a share of another method's, one line per run.
paired_shares() { # paired_shares <runs file> <other method>
    awk -v m="$2" '$3 != "-" && $3 > 0 { ms[$1 " " $2] = $3 }
        $1 == "injector" { runs[$2] = 1 }
        END { for (r in runs) if (("injector " r) in ms && (m " " r) in ms) print 100 * ms[m " " r] / ms["injector " r] }' "$1"
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
    local m
    for m in "injector:Kelmo's key injector:info" "peer:xdotool type --delay 0 (peer):peer" \
        "burst:one bare SendInput burst, the target's limit (peer):peer"; do
        awk -v m="${m%%:*}" -v n="$length" '$1 == m && $3 != "-" && $3 > 0 { print n * 1000 / $3 }' \
            "$runs" | spread_record "typing-$label" "$(cut -d: -f2 <<<"$m")" "chars/s" 0 "-" \
            "${m##*:}" >>"$RECORDS"
    done
    paired_shares "$runs" peer | spread_record "typing-$label" "the injector's rate as a share of the peer's" \
        "%" 1 ">= 100%" "$(awk -v p="$of_peer" 'BEGIN { print (p >= 100 ? "PASS" : "MISS") }')" >>"$RECORDS"
    paired_shares "$runs" burst | spread_record "typing-$label" "the injector's rate as a share of the target's limit" \
        "%" 1 ">= 90%" "$(awk -v p="$of_limit" 'BEGIN { print (p >= 90 ? "PASS" : "MISS") }')" >>"$RECORDS"
    local bad
    bad=$(awk '$1 == "injector" && $5 != "exact"' "$runs")
    printf 'RECORD\t%s\t%s\t%s\t%s\t-\t-\t%s\t0\t%s\n' "typing-$label" \
        "characters lost, doubled or reordered in $RUNS x $length" "characters" \
        "$([ -z "$bad" ] && echo 0 || echo "some")" "$RUNS" "$([ -z "$bad" ] && echo PASS || echo MISS)" \
        >>"$RECORDS"
    if [ -z "$bad" ]; then
        report "inject-exact $label 0 lost, doubled or reordered in $RUNS x $length characters (goal 0) PASS"
    else
        report "inject-exact $label not exact: $(printf '%s' "$bad" | cut -d' ' -f5- | head -1) (goal 0 lost, doubled or reordered) MISS"
    fi
}

# --- BENCHMARKS.md ------------------------------------------------------------------------------

# The records as one table per figure, in the order of bench/figures.md ("## <id> | <title>"
# and the paragraph under it), each with its paragraph; a summary of the goals first.
write_report() { # write_report <file>
    {
        printf '# Kelmo benchmarks\n\n'
        printf 'Written by `./kelmo bench` on %s. Machine: %s.\n\n' "$(date '+%Y-%m-%d %H:%M %Z')" "$MACHINE"
        printf 'Each row gives the median, the 10th and the 90th percentile (nearest rank) over the runs\n'
        printf 'or samples counted in its "n" column. A peer is what a user would otherwise use, measured in\n'
        printf 'the same run. The waits of the component count the idleness of the machine, so every figure\n'
        printf 'depends on its load; the logs of this run were in build/bench-output. No figure has been\n'
        printf 'dropped: each goal still says something a user compares; the clock'"'"'s sleep has no goal of\n'
        printf 'its own and stays because it explains the pace waits.\n\n'
        printf '## Goals\n\n| Figure | Row | Median | Goal | Verdict |\n|---|---|---|---|---|\n'
        awk -F'\t' '$10 == "PASS" || $10 == "MISS" { printf "| %s | %s | %s %s | %s | %s |\n", $2, $3, $5, $4, $9, $10 }' "$RECORDS"
        printf '\n'
        awk -F'\t' -v records="$RECORDS" '
            BEGIN {
                while ((getline line < records) > 0) {
                    split(line, f, "\t"); r = f[2]
                    if (!(r in rows)) order[++ids] = r
                    rows[r] = rows[r] sprintf("| %s | %s | %s | %s | %s | %s | %s | %s |\n", f[3], f[4], f[5], f[6], f[7], f[8], f[9], f[10])
                }
            }
            function table(id) {
                if (last != "") print ""
                printf "| | unit | median | p10 | p90 | n | goal | verdict |\n|---|---|---|---|---|---|---|---|\n%s\n", rows[id]
                done[id] = 1
            }
            /^## / {
                if (id != "" && (id in rows)) table(id)
                split(substr($0, 4), h, " [|] "); id = h[1]
                print "## " h[2]; print ""; next
            }
            { print; last = $0 }
            END {
                if (id != "" && (id in rows)) table(id)
                for (i = 1; i <= ids; i++) if (!(order[i] in done)) { print "## " order[i]; print ""; table(order[i]) }
            }' "$KELMO_ROOT/bench/figures.md"
    } >"$1"
    echo "bench: wrote $1"
}

# --- the report ----------------------------------------------------------------------------------

MACHINE="$(nproc) cores ($(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)), $(wine --version 2>/dev/null), the $(bench bits | tr -d '\r') build of Kelmo.dll, load average at start $(cut -d' ' -f1-3 /proc/loadavg)"
echo "Kelmo bench $(date '+%Y-%m-%d %H:%M')   $MACHINE"
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

bench_figure objects-cpp objects 10000
bench_figure objects-cscript host "$(winpath "$KELMO_ROOT/bench/objects.js")" 10000
mkdir -p "$OUT/viewer"
bench_figure viewer viewer "$(winpath "$OUT/viewer")" 5
bench_figure start start 5
bench_figure copy copy "$(winpath "$OUT/copy")" "$RUNS" 1000 200
bench_figure popup popup 5
bench_figure rest-atoms restatoms "$RUNS"

write_report "$REPORT"
echo "$((passes + misses)) figures: $passes PASS, $misses MISS   ($(( ($(now_us) - started) / 1000000 )) s; logs in $OUT)"
