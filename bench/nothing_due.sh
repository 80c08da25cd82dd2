# Sourced by the start-up benchmarks: a scratch home for this shell, removed
# at its exit, whose data file holds 9 999 birthdays 45 to 320 days away from
# today (never within 10 days back and 30 ahead, whichever year's occurrence
# counts), and whose settings count this version's news as read, so that
# nothing waits for a click.  $work is the scratch folder.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/run"
export QT_QPA_PLATFORM="${BENCH_PLATFORM:-offscreen}"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME/Brolt" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
printf '[Defaults]\nVersie=versie 2.60e\nTimer%%20Aan=0\nUpdatesCheck%%20Aan=0\n' >"$XDG_CONFIG_HOME/Brolt.conf"
python3 - "$XDG_DATA_HOME/Brolt/Brolt.dat" <<'PY'
import datetime, sys
today = datetime.date.today()
with open(sys.argv[1], "w", newline="") as out:
    for i in range(9999):
        d = today + datetime.timedelta(days=45 + i % 276)
        out.write(f"{1930 + i % 80}-{d.month:02d}-{d.day:02d};Persoon {i:04d};Geboorte;;;;;;;\r\n")
PY
