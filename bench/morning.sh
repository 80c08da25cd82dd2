#!/usr/bin/env bash
# The morning start with "Uitwisselen Aan" off must stay as fast as before the
# morning's exchange existed: "Brolt a" with 9 999 records, none due, against
# the same start built from BASE (the commit before it), within 5%.  Also the
# box on with today's exchange done, and which libraries each start loads.
#   bench/morning.sh [runs] [BASE]     (default 100 runs per round, three rounds)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-100}
base=${2:-7fc89f6}
command -v hyperfine >/dev/null || { echo "bench/morning.sh needs hyperfine" >&2; exit 1; }

cmake -S . -B build-bench-startup -G Ninja -DCMAKE_BUILD_TYPE=Release -DBROLT_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench-startup --target Brolt brolt_data -- -j2 >/dev/null
# The base is built once from its own copy of the sources.
if [ ! -x build-bench-base/bin/Brolt ] || [ "$(cat build-bench-base/commit 2>/dev/null)" != "$base" ]; then
    rm -rf build-bench-base
    mkdir -p build-bench-base/src
    git archive "$base" | tar -x -C build-bench-base/src
    cmake -S build-bench-base/src -B build-bench-base -G Ninja -DCMAKE_BUILD_TYPE=Release \
          -DBROLT_BUILD_TESTS=OFF >/dev/null
    cmake --build build-bench-base --target Brolt brolt_data -- -j2 >/dev/null
    echo "$base" >build-bench-base/commit
fi

# shellcheck source=bench/nothing_due.sh
source bench/nothing_due.sh
cp "$XDG_CONFIG_HOME/Brolt.conf" "$work/plain.conf"
settings() { # $1: the morning box; today's exchange done
    cp "$work/plain.conf" "$XDG_CONFIG_HOME/Brolt.conf"
    printf 'Uitwisselen%%20Aan=%s\nUitgewisseld%%20Op=%s\n' "$1" "$(date +%F)" >>"$XDG_CONFIG_HOME/Brolt.conf"
    printf 'Adresboek%%20Adres=http://127.0.0.1:9/boek/\n' >>"$XDG_CONFIG_HOME/Brolt.conf"
}

now=build-bench-startup/bin/Brolt
before=build-bench-base/bin/Brolt
settings 0
for b in "$before" "$now"; do
    "$b" a || { echo "$b a did not end with status 0" >&2; exit 1; }
done
echo "libraries loaded by Brolt a (QtNetwork, QtWidgets), box off:"
LD_DEBUG=libs "$now" a 2>&1 | grep -c -E 'calling init: .*libQt6(Network|Widgets)' || true

# Three rounds that change the order: the machine is shared, and a burst of
# other work should not fall on one side only.
for round in 1 2 3; do
    order=("$before a" "$now a")
    [ "$round" = 2 ] && order=("$now a" "$before a")
    hyperfine -N --warmup 5 --runs "$runs" --style none --export-json "$work/off$round.json" "${order[@]}" >/dev/null 2>&1
done
settings 1
echo "libraries loaded by Brolt a (QtNetwork, QtWidgets), box on, today's exchange done:"
LD_DEBUG=libs "$now" a 2>&1 | grep -c -E 'calling init: .*libQt6(Network|Widgets)' || true
hyperfine -N --warmup 5 --runs "$runs" --style none --export-json "$work/on.json" "$now a" >/dev/null 2>&1
python3 - "$before" "$now" "$work" <<'PY'
import json, statistics, sys
before, now, work = sys.argv[1], sys.argv[2], sys.argv[3]
times = {}
for n in (1, 2, 3):
    for r in json.load(open(f"{work}/off{n}.json"))["results"]:
        times.setdefault(r["command"].split()[0], []).extend(r["times"])
on = json.load(open(f"{work}/on.json"))["results"][0]["times"]
b = statistics.median(times[before]) * 1000
n = statistics.median(times[now]) * 1000
o = statistics.median(on) * 1000
print(f"Brolt a, box off, before: median {b:.2f} ms; now: median {n:.2f} ms; "
      f"ratio {n / b:.3f} (limit 1.05), {len(times[now])} runs each")
print(f"Brolt a, box on, today's exchange done: median {o:.2f} ms ({o / b:.3f} x before)")
PY
