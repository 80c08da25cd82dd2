#!/usr/bin/env bash
# Start-up benchmark: "Brolt a" with 9 999 records of which none is due must
# take no more than 1.5 times an empty Qt Widgets program that shows one window
# and quits.  Builds both in release mode, prints the medians and the ratio.
#   bench/startup.sh [runs]        (default 20 runs; hyperfine when installed)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-20}
build=build-bench-startup

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBROLT_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target Brolt brolt_data -- -j2 >/dev/null
empty="$build/bin/startup_empty"
if [ ! "$empty" -nt bench/startup_empty.cpp ]; then
    # shellcheck disable=SC2046
    c++ -std=c++20 -O2 -fPIC bench/startup_empty.cpp -o "$empty" $(pkg-config --cflags --libs Qt6Widgets)
fi

# shellcheck source=bench/nothing_due.sh
source bench/nothing_due.sh

brolt="$build/bin/Brolt"
"$brolt" a || { echo "Brolt a did not end with status 0" >&2; exit 1; }

if command -v hyperfine >/dev/null; then
    hyperfine -N --warmup 3 --runs "$runs" --style none --export-json "$work/times.json" \
        "$empty" "$brolt a" >/dev/null
    python3 - "$work/times.json" <<'PY'
import json, sys
r = json.load(open(sys.argv[1]))["results"]
empty, brolt = (x["median"] * 1000 for x in r)
cpu_empty, cpu_brolt = ((x["user"] + x["system"]) * 1000 for x in r)
print(f"empty Qt Widgets program: median {empty:.1f} ms wall, mean {cpu_empty:.1f} ms CPU")
print(f"Brolt a, 9 999 records:   median {brolt:.1f} ms wall, mean {cpu_brolt:.1f} ms CPU")
print(f"ratio {brolt / empty:.2f} wall, {cpu_brolt / cpu_empty:.2f} CPU (limit 1.50)")
PY
else
    python3 - "$runs" "$empty" "$brolt" <<'PY'
import statistics, subprocess, sys, time
runs, empty, brolt = int(sys.argv[1]), sys.argv[2], sys.argv[3]
def median(cmd):
    times = []
    for _ in range(runs):
        t = time.perf_counter()
        subprocess.run(cmd, check=True)
        times.append((time.perf_counter() - t) * 1000)
    return statistics.median(times)
e, b = median([empty]), median([brolt, "a"])
print(f"empty Qt Widgets program: median {e:.1f} ms")
print(f"Brolt a, 9 999 records:   median {b:.1f} ms")
print(f"ratio {b / e:.2f} (limit 1.50)")
PY
fi
