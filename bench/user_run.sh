#!/usr/bin/env bash
# The program as users run it: build/release/app/quorvex (a copy in a scratch folder, so the
# settings and logfiles beside the real one stay untouched) under its own Xvfb with the
# Control page showing, receiver 1 on a simulator pseudo-terminal at 3,000,000 baud,
# receiver 2 on the simulator's UDP datagrams, the feed connected to the simulator's feed
# server, all by its options (--start --connect). Beside it, the floor: floor_reader (plain
# C++, no Qt) reads the same input from a second simulator with the same options and seed,
# as it arrives (the pty's writes, datagram by datagram, the feed's segments), and counts it.
#
# Both simulators start together (--wait-for-go). After SKIP seconds the CPU (user+system,
# /proc/PID/stat) of the program and of the floor is taken over MEASURE seconds; the
# simulators' CPU counts in neither, Xvfb's is shown on its own, and so are the context
# switches per second of the program and of the floor (their wake-ups). Four cases:
# logging off and on, 40 and 5,000 aircraft. Each run then checks that the program's
# per-second counts (--csv) add up to the simulator's ground truth (--truth), and that the
# floor read every byte its simulator says it wrote.
#
# Usage: bench/user_run.sh [--repeat N] [--skip S] [--measure S] [--seed N]
#                          [--cases "LOG:AIRCRAFT ..."] [--perf]
#   defaults: --repeat 1 --skip 5 --measure 30 --seed 7 --cases "off:40 on:40 off:5000 on:5000"
#   LOG is off or on (the logfile), or beast / beast-nolevels: both receivers on Beast at the
#   full line rate (--rate max), with levels or without (the level byte 0), logging off; the
#   difference of the two is what the level comparison costs the program.
#   --perf: also record a perf profile of the program over the measured interval of each
#           run (perf record --call-graph dwarf), kept beside that run's files.
# Everything a run leaves (truth, CSV, floor counts, the program's output) is kept under
# build/user-run/, emptied at each start; results.txt there has one line per run. The
# program's feed and UDP ports are fixed (30003, 7934): nothing else may use them during
# the runs. Not part of the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

repeat=1 skip=5 measure=30 seed=7 perf=false
cases="off:40 on:40 off:5000 on:5000"
while (($#)); do
  case $1 in
    --repeat) repeat=$2; shift 2 ;;
    --skip) skip=$2; shift 2 ;;
    --measure) measure=$2; shift 2 ;;
    --seed) seed=$2; shift 2 ;;
    --cases) cases=$2; shift 2 ;;
    --perf) perf=true; shift ;;
    *) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2; exit 2 ;;
  esac
done

scripts/deps
cmake --preset release >/dev/null
cmake --build --preset release -j 2 --target quorvex quorvex-sim floor_reader >/dev/null
program=$root/build/release/app/quorvex
sim=$root/build/release/tools/quorvex-sim
floor=$root/build/release/bench/floor_reader
out=$root/build/user-run
for port in 7934; do
  if [[ -n $(ss -Hlun "sport = :$port") ]]; then
    echo "user_run: UDP port $port is in use; the program needs it" >&2; exit 1
  fi
done
if [[ -n $(ss -Hltn "sport = :30003") ]]; then
  echo "user_run: TCP port 30003 is in use; the program's feed needs it" >&2; exit 1
fi
# Only now, so a run refused for a busy port leaves the last results (or a run under way) alone.
rm -rf "$out"
mkdir -p "$out"
results=$out/results.txt
: >"$results"

# A display of our own: the program paints to a real X server, as on a desk.
display=90
while [[ -e /tmp/.X11-unix/X$display || -e /tmp/.X$display-lock ]]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >"$out/xvfb.log" 2>&1 &
xvfb=$!
pids=()
cleanup() {
  for pid in "${pids[@]}" "$xvfb"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 100); do [[ -e /tmp/.X11-unix/X$display ]] && break; sleep 0.05; done

# utime+stime of a process in clock ticks.
cpu_ticks() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat"; }
ticks_per_second=$(getconf CLK_TCK)
# Context switches of all the threads of a process: each is a wake-up, or a preemption.
switches() { cat /proc/"$1"/task/*/status 2>/dev/null | awk '/ctxt_switches/ { s += $2 } END { print s + 0 }'; }
now() { date +%s.%N; }

# What a simulator says on standard error after "WHAT: " ("receiver1: pty", "feed: tcp port").
said() {
  local file=$1 what=$2
  for _ in $(seq 200); do
    local value
    value=$(sed -n "s/^$what //p" "$file")
    [[ -n $value ]] && { echo "$value"; return; }
    sleep 0.05
  done
  echo "user_run: the simulator did not say \"$what\":" >&2
  cat "$file" >&2
  exit 1
}

# Runs one simulator: NAME, its go FIFO, then its options. Its pid goes to sim_pid.
start_sim() {
  local name=$1; shift
  mkfifo "$dir/$name.go"
  "$sim" "$@" --aircraft "$aircraft" --seed "$seed" --seconds "$((skip + measure + 1))" \
    --truth "$dir/$name.truth.json" --wait-for-go <"$dir/$name.go" 2>"$dir/$name.err" &
  sim_pid=$!
  pids+=("$sim_pid")
}

# The sums of columns 2 to 16 of the program's CSV: the 15 counters over the run.
csv_counts() {
  awk -F, 'NR > 1 { for (i = 2; i <= 16; ++i) s[i] += $i }
    END { for (i = 2; i <= 16; ++i) printf "%d%s", s[i], i < 16 ? " " : "\n" }' "$1"
}

# The same 15 counters from a ground truth: the groups of receivers 1 and 2, then the feed's
# classes as the program counts them (5+6, 8, the rest).
truth_counts() {
  tail -n 1 "$1" | awk '{
    for (r = 1; r <= 2; ++r) {
      s = substr($0, index($0, "\"receiver" r "\":{"))
      s = substr(s, index(s, "\"groups\":{") + 10)
      s = substr(s, 1, index(s, "}") - 1)
      n = split(s, kv, ",")
      for (i = 1; i <= n; ++i) { split(kv[i], p, ":"); g[p[1]] = p[2] }
      printf "%d %d %d %d %d %d ", g["\"DF0\""], g["\"DF4_5\""], g["\"DF11\""], g["\"DF11_IC\""],
        g["\"DF17_19\""], g["\"DF20_21\""]
    }
    s = substr($0, index($0, "\"feed\":{"))
    s = substr(s, index(s, "\"types\":{") + 9)
    s = substr(s, 1, index(s, "}") - 1)
    n = split(s, kv, ",")
    for (i = 1; i <= n; ++i) { split(kv[i], p, ":"); gsub(/"/, "", p[1]); t[p[1]] = p[2] }
    printf "%d %d %d\n", t["5"] + t["6"], t["8"], t["1"] + t["2"] + t["3"] + t["4"] + t["7"]
  }'
}

# A number from a ground truth: the first "KEY":N after "SOURCE":{.
truth_field() { tail -n 1 "$1" | grep -o "\"$2\":{.*" | grep -o "\"$3\":[0-9]*" | head -n 1 | cut -d: -f2; }

run_case() {
  local log=$1 aircraft=$2 rep=$3
  dir=$out/$log-$aircraft-$rep
  mkdir -p "$dir/program"
  # The marker keeps the copy's settings and logfiles beside it, as the build's are.
  cp "$program" "$(dirname "$program")/quorvex.portable" "$dir/program/"
  pids=()

  # The Beast cases: both receivers on pseudo-terminals in Beast binary at the line's full
  # rate, with levels or with the level byte 0 (none), the same frames; the floor reads
  # receiver 1's line alike (its receiver 2 stays on UDP text).
  local beast=false format='*' floor1='*'
  local program1=(--receiver1 'pty:3000000:*' --receiver2 'udp:127.0.0.1:7934:*')
  if [[ $log == beast* ]]; then
    beast=true format=beast floor1=beast
    program1=(--receiver1 'pty:3000000:beast' --receiver2 'pty:3000000:beast' --rate max)
    [[ $log == beast-nolevels ]] && program1+=(--no-levels)
  fi
  start_sim sim-program "${program1[@]}" --feed=30003
  local sim_program=$sim_pid
  exec 7>"$dir/sim-program.go"
  local udp
  udp=$("$floor" --free-udp-port)
  local floor_rate=()
  $beast && floor_rate=(--rate max)
  start_sim sim-floor --receiver1 "pty:3000000:$floor1" --receiver2 "udp:127.0.0.1:$udp:*" \
    --feed=0 "${floor_rate[@]}"
  local sim_floor=$sim_pid
  exec 8>"$dir/sim-floor.go"
  local pty_program pty_floor feed_floor
  pty_program=$(said "$dir/sim-program.err" "receiver1: pty")
  pty_floor=$(said "$dir/sim-floor.err" "receiver1: pty")
  feed_floor=$(said "$dir/sim-floor.err" "feed: tcp port")

  local options=(--receiver1 "$pty_program:3000000:$format" --receiver2 'udp:*' --start --connect
    --csv "$dir/seconds.csv")
  if $beast; then
    options[3]="$(said "$dir/sim-program.err" "receiver2: pty"):3000000:beast"
  fi
  [[ $log == on ]] && options+=(--log)
  DISPLAY=:$display QT_QPA_PLATFORM=xcb "$dir/program/quorvex" "${options[@]}" \
    >"$dir/program.out" 2>&1 &
  local app=$!
  pids+=("$app")
  "$floor" --pty "$pty_floor" --udp "$udp" --feed "$feed_floor" >"$dir/floor.out" 2>&1 &
  local reader=$!
  pids+=("$reader")

  # Ready: the program holds its pty and its feed connection stands.
  for _ in $(seq 200); do
    if ls -l "/proc/$app/fd" 2>/dev/null | grep -q -- "-> $pty_program\$" &&
      [[ -n $(ss -Htn state established "dport = :30003") ]]; then
      break
    fi
    sleep 0.05
  done
  sleep 1
  echo go >&7
  echo go >&8
  exec 7>&- 8>&-

  sleep "$skip"
  local t0 app0 reader0 x0 s0
  t0=$(now) app0=$(cpu_ticks "$app") reader0=$(cpu_ticks "$reader") x0=$(cpu_ticks "$xvfb")
  local wake0=$(switches "$app") floorwake0=$(switches "$reader")
  s0=$(($(cpu_ticks "$sim_program") + $(cpu_ticks "$sim_floor")))
  local recorder=""
  if $perf; then
    perf record --call-graph dwarf,8192 -o "$dir/perf.data" -p "$app" -- sleep "$measure" >/dev/null 2>&1 &
    recorder=$!
  fi
  sleep "$measure"
  local t1 app1 reader1 x1 s1
  t1=$(now) app1=$(cpu_ticks "$app") reader1=$(cpu_ticks "$reader") x1=$(cpu_ticks "$xvfb")
  local wake1=$(switches "$app") floorwake1=$(switches "$reader")
  s1=$(($(cpu_ticks "$sim_program") + $(cpu_ticks "$sim_floor")))
  local load  # the machine's load over the last minute: others' work disturbs the figures
  load=$(cut -d' ' -f1 /proc/loadavg)
  [[ -n $recorder ]] && wait "$recorder" || true

  wait "$sim_program" "$sim_floor" || true
  sleep 1.5  # one more tick of the program after the last frame
  kill -TERM "$reader" "$app"
  wait "$reader" || true
  local app_status=0
  wait "$app" || app_status=$?

  # Counts: the program's against its simulator, the floor's bytes against its simulator.
  local counted sent check=ok
  counted=$(csv_counts "$dir/seconds.csv")
  sent=$(truth_counts "$dir/sim-program.truth.json")
  if [[ $counted != "$sent" ]]; then
    check=MISMATCH
    printf 'counted %s\nsent    %s\n' "$counted" "$sent" >"$dir/count-mismatch.txt"
  fi
  local source input
  for source in receiver1:pty receiver2:udp feed:feed; do
    input=${source#*:}
    if [[ $(truth_field "$dir/sim-floor.truth.json" "${source%%:*}" bytes) != \
      $(sed -n "s/^$input .*bytes=\([0-9]*\).*/\1/p" "$dir/floor.out") ]]; then
      check="$check+floor-$input-short"
    fi
  done
  [[ $app_status -eq 0 ]] || check="$check+exit-$app_status"

  # Rates over the whole run from the program's simulator: frames on the pty and over UDP,
  # feed lines, and what receiver 1's line had no room for.
  local run=$((skip + measure + 1))
  local r1 r2 feed overflow
  r1=$(awk '{ s = 0; for (i = 1; i <= 6; ++i) s += $i; print s }' <<<"$sent")
  r2=$(awk '{ s = 0; for (i = 7; i <= 12; ++i) s += $i; print s }' <<<"$sent")
  feed=$(awk '{ print $13 + $14 + $15 }' <<<"$sent")
  overflow=$(truth_field "$dir/sim-program.truth.json" receiver1 overflow)
  awk -v logging="$log" -v aircraft="$aircraft" -v rep="$rep" -v wall="$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')" \
    -v hz="$ticks_per_second" -v app=$((app1 - app0)) -v reader=$((reader1 - reader0)) \
    -v x=$((x1 - x0)) -v sims=$((s1 - s0)) -v r1="$r1" -v r2="$r2" -v feed="$feed" -v run="$run" \
    -v overflow="${overflow:-0}" -v check="$check" -v load="$load" \
    -v wake=$((wake1 - wake0)) -v floorwake=$((floorwake1 - floorwake0)) 'BEGIN {
      p = 100 * app / hz / wall; f = 100 * reader / hz / wall
      printf "%s %s %s %.1f %.2f %.1f %.1f %.1f %d %d %d %d %s %s %d %d\n", logging, aircraft, rep,
        p, f, (f > 0 ? p / f : 0), 100 * x / hz / wall, 100 * sims / hz / wall,
        r1 / run, r2 / run, feed / run, overflow, check, load, wake / wall, floorwake / wall
    }' | tee -a "$results"
}

echo "log aircraft run program% floor% ratio xvfb% sims% r1-frames/s r2-frames/s feed-lines/s r1-overflow check load program-switches/s floor-switches/s"
for rep in $(seq "$repeat"); do
  for c in $cases; do run_case "${c%%:*}" "${c##*:}" "$rep"; done
done

# Per case: min, median and max of the program's and the floor's CPU and of their ratio;
# the medians of their context switches (program, floor).
echo
grep -h "^quorvex-sim: " "$out"/*/sim-program.err | sort -u
echo "Per case over $repeat run(s), CPU % of one core over ${measure} s after ${skip} s:"
printf '%-4s %8s | %-20s | %-20s | %-17s | %6s | %-11s | %s\n' log aircraft "program min/med/max" \
  "floor min/med/max" "ratio min/med/max" xvfb% "switches/s" \
  "frames/s r1 r2, feed lines/s, counts, load max"
for c in $cases; do
  grep "^${c%%:*} ${c##*:} " "$results" | awk '
    function median(a, n,   i, j, t) {
      for (i = 1; i <= n; ++i) for (j = i + 1; j <= n; ++j) if (a[j] < a[i]) { t = a[i]; a[i] = a[j]; a[j] = t }
      return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
    }
    { ++n; p[n] = $4; f[n] = $5; r[n] = $6; x[n] = $7; logging = $1; ac = $2
      rates = $9 " " $10 ", " $11; checks = checks (n > 1 ? "," : "") $13
      if ($14 > load) load = $14
      w[n] = $15; fw[n] = $16 }
    END {
      lp = median(p, n); lf = median(f, n); lr = median(r, n); lx = median(x, n)
      printf "%-4s %8s | %5.1f / %5.1f / %5.1f | %5.2f / %5.2f / %5.2f | %4.1f / %4.1f / %4.1f | %6.1f | %5d %5d | %s, %s, %s\n",
        logging, ac, p[1], lp, p[n], f[1], lf, f[n], r[1], lr, r[n], lx, median(w, n),
        median(fw, n), rates, checks, load
    }'
done
