# The Wine export row of scripts/bench (sourced by it: its server on PORT in RUN, RESULTS, the
# database kelvane_bench_many_1000): "kelvane-gen.exe export" of 1,000 tables × 20 columns under
# Wine against the Linux kelvane-gen exporting the same database, each a fresh process into a
# new folder, timed from launch to exit, alternating. Medians in nanoseconds go to
# $RESULTS/wine_export.json for bench/report.py.
build_windows build-windows
WINE=/usr/lib/wine/wine64
export WINEPREFIX=$RUN/wine WINEDEBUG=-all LANG=C.UTF-8
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d;winedbg.exe=d"
timeout 300 "$WINE" wineboot -i >/dev/null 2>&1
# The wineserver stays up between programs, as it does in a user's session.
timeout 60 /usr/lib/wine/wineserver -w || true
timeout 60 /usr/lib/wine/wineserver -p || true
WINE_EXPORT_ARGS=(-P "$PORT" --password="$KELVANE_ROOT_PASSWORD" export kelvane_bench_many_1000)
: >"$RESULTS/wine_export.raw"
for _ in $(seq 1 "${KELVANE_WINE_EXPORT_REPEAT:-3}"); do
  for side in linux wine; do
    rm -rf "$RUN/wine-export"
    start=$(date +%s%N)
    if [ "$side" = linux ]; then
      build-bench/cli/kelvane-gen "${WINE_EXPORT_ARGS[@]}" --out "$RUN/wine-export" >/dev/null
    else
      timeout 1800 "$WINE" build-windows/cli/kelvane-gen.exe "${WINE_EXPORT_ARGS[@]}" \
        --out "$RUN/wine-export" >/dev/null
    fi
    echo "$side $(($(date +%s%N) - start))" >>"$RESULTS/wine_export.raw"
    made=$(find "$RUN/wine-export" -mindepth 1 -maxdepth 1 -type d | wc -l)
    [ "$made" -eq 1000 ] || { log "$side export wrote $made table folders, not 1,000"; exit 1; }
  done
done
rm -rf "$RUN/wine-export"
timeout 60 /usr/lib/wine/wineserver -k 2>/dev/null || true
python3 - "$RESULTS/wine_export.raw" "$RESULTS/wine_export.json" <<'PY'
import json, statistics, sys
runs = {}
for line in open(sys.argv[1], encoding="utf-8"):
    side, ns = line.split()
    runs.setdefault(side, []).append(int(ns))
json.dump({side: statistics.median(v) for side, v in runs.items()}, open(sys.argv[2], "w"))
PY
