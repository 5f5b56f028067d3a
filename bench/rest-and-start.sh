#!/bin/sh
# The window program at rest and at start, measured as a user runs it: under a
# virtual display (1280 x 1024) with a settings folder of its own, once with the
# first start's single place and once with fifteen listed places.
#
#   bench/rest-and-start.sh BUILD_DIR [SECONDS] [STARTS]
#
# For each case it prints
# - start: from the command to the window mapped on the display, polled every
#   10 ms, for STARTS starts in a row (default 6);
# - rest: over SECONDS (default 120) after 8 s of settling, the CPU time of all
#   the program's threads (from /proc/PID/task/*/schedstat, in nanoseconds) as
#   a share of one core, and the wake-ups a second, counted as the threads'
#   voluntary context switches (the main thread's apart).
# Needs Xvfb, xwininfo and perl (for the stored coordinates).
set -eu

build=$(cd "${1:?usage: $0 BUILD_DIR [SECONDS] [STARTS]}" && pwd)
seconds=${2:-120}
starts=${3:-6}
program="$build/bin/chronara-window"
[ -x "$program" ] || { echo "no $program: build it first" >&2; exit 1; }

work=$(mktemp -d)
display=:$((90 + $$ % 100))
Xvfb "$display" -screen 0 1280x1024x24 -noreset -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
pid=
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
    kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT INT TERM
export DISPLAY="$display" QT_QPA_PLATFORM=xcb
i=0
until xwininfo -root >/dev/null 2>&1; do
    i=$((i + 1))
    [ $i -lt 500 ] || { echo "Xvfb did not start" >&2; exit 1; }
    sleep 0.01
done

now_ns() { date +%s%N; }

# A REGEDIT4 binary value of a double, as the store writes coordinates.
double_hex() { perl -e 'print join ",", map { sprintf "%02x", $_ } unpack "C*", pack "d<", $ARGV[0]' -- "$1"; }

# A settings folder with fifteen listed places (list shown, clock shown).
fifteen_places() {
    dir=$1/chronara
    mkdir -p "$dir"
    key='HKEY_CURRENT_USER\Software\Kiv\Chronara\Data'
    {
        printf 'REGEDIT4\n\n[%s]\n' "$key"
        printf '"ShowClock"=dword:00000001\n"SingleMode"=dword:00000000\n"LocationCount"=dword:0000000f\n\n'
        n=0
        for place in "London|Europe/London|51.5|-0.12" "Paris|Europe/Paris|48.86|2.35" \
            "Berlin|Europe/Berlin|52.52|13.4" "Moscow|Europe/Moscow|55.75|37.62" \
            "Dubai|Asia/Dubai|25.2|55.27" "Delhi|Asia/Kolkata|28.61|77.21" \
            "Kathmandu|Asia/Kathmandu|27.7|85.32" "Shanghai|Asia/Shanghai|31.23|121.47" \
            "Tokyo|Asia/Tokyo|35.68|139.69" "Sydney|Australia/Sydney|-33.87|151.21" \
            "Auckland|Pacific/Auckland|-36.85|174.76" "Honolulu|Pacific/Honolulu|21.31|-157.86" \
            "Los Angeles|America/Los_Angeles|34.05|-118.24" \
            "New York|America/New_York|40.71|-74.01" "Sao Paulo|America/Sao_Paulo|-23.55|-46.63"; do
            IFS='|' read -r name zone lat lon <<EOF
$place
EOF
            printf '[%s\\%d]\n"Name"="%s"\n"ZoneName"="%s"\n' "$key" "$n" "$name" "$zone"
            printf '"Latitude"=hex:%s\n"Longitude"=hex:%s\n"GMTOffset"="0"\n\n' \
                "$(double_hex "$lat")" "$(double_hex "$lon")"
            n=$((n + 1))
        done
    } >"$dir/Chronara.reg"
}

mapped() {
    xwininfo -root -tree 2>/dev/null | grep -q '"chronara-window"' &&
        xwininfo -root -tree 2>/dev/null | grep '"chronara-window"' | grep -qv '1x1+'
}

# The program's CPU nanoseconds and voluntary switches: all threads, main thread.
sample() {
    cpu=0
    switches=0
    for task in /proc/"$pid"/task/*; do
        set -- $(cat "$task/schedstat")
        cpu=$((cpu + $1))
        v=$(awk '/^voluntary_ctxt_switches/ { print $2 }' "$task/status")
        switches=$((switches + v))
    done
    main=$(awk '/^voluntary_ctxt_switches/ { print $2 }' /proc/"$pid"/status)
    echo "$cpu $switches $main"
}

run_case() {
    label=$1
    config=$work/$label
    echo "== $label"
    times=
    k=0
    while [ $k -lt "$starts" ]; do
        rm -rf "$config" && mkdir -p "$config"
        [ "$label" = fifteen ] && fifteen_places "$config"
        start=$(now_ns)
        XDG_CONFIG_HOME=$config "$program" >/dev/null 2>&1 &
        pid=$!
        until mapped; do sleep 0.01; done
        times="$times $((($(now_ns) - start) / 1000000))"
        k=$((k + 1))
        if [ $k -lt "$starts" ]; then
            kill "$pid"; wait "$pid" 2>/dev/null || true; pid=
        fi
    done
    echo "start to mapped window (ms):$times"
    sleep 8
    set -- $(sample)
    cpu0=$1 sw0=$2 main0=$3
    sleep "$seconds"
    set -- $(sample)
    awk -v c="$(($1 - cpu0))" -v s="$(($2 - sw0))" -v m="$(($3 - main0))" -v t="$seconds" 'BEGIN {
        printf "rest over %d s: %.3f %% of a core (%.2f ms a second), %.2f wake-ups a second (main thread %.2f)\n",
            t, c / t / 1e7, c / t / 1e6, s / t, m / t }'
    kill "$pid"; wait "$pid" 2>/dev/null || true; pid=
}

run_case one
run_case fifteen
