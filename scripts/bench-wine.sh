# The Wine rows of scripts/bench (sourced by it: its server on PORT in RUN, RESULTS; the tables
# kelvane_bench.wide_10/300/1000). kelvane.exe under Wine on a private Xvfb, each figure against a
# plain Win32 window doing the same Win32 work in the same run (bench/win32_baseline.cpp):
#   start to window shown     kelvane.exe          vs a window with one CJK label
#   按钮2 on 10/300/1,000     until page 2 shows   vs five edit boxes given the same texts
#   按钮5 on 1,000 columns    the set-class copy   vs the same bytes placed on the clipboard
#   1,000 columns: the longest the window answers nothing during 按钮2 and during the first
#   showing of pages 3 and 4 after it (probed every 20 ms; goal: 1 s each, no baseline)
# Median of alternating repetitions; written to $RESULTS/wine.md and printed.
build_windows build-windows
WINE=/usr/lib/wine/wine64
export WINEPREFIX=$RUN/wine WINEDEBUG=-all LANG=C.UTF-8
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d;winedbg.exe=d"
WINDOW_EXE=build-windows/win32/kelvane.exe
DRIVER_EXE=build-windows/win32/kelvane_win32_driver.exe
BASELINE_EXE=build-windows/win32/kelvane_win32_baseline.exe
timeout 300 "$WINE" wineboot -i >/dev/null 2>&1
# The wineserver stays up between programs, as it does in a user's session.
timeout 60 /usr/lib/wine/wineserver -w || true
timeout 60 /usr/lib/wine/wineserver -p || true
start_wine_display
wine_cjk_fonts "$WINE"
drv() { timeout 120 "$WINE" "$DRIVER_EXE" "$@"; }
click() { local x y; read -r x y < <(drv "$@") && xdotool mousemove "$x" "$y" click 1; }
median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
REPEAT=${KELVANE_WINE_REPEAT:-5}
: >"$RESULTS/wine.raw"

for i in $(seq 1 "$REPEAT"); do
  echo "start kelvane $(drv launch "Kelvane ver 1.0.4" "$WINDOW_EXE")" >>"$RESULTS/wine.raw"
  echo "start baseline $(drv launch "Kelvane baseline" "$BASELINE_EXE")" >>"$RESULTS/wine.raw"
done

timeout 3600 "$WINE" "$WINDOW_EXE" >/dev/null 2>&1 &
WINDOW_PID=$!
drv layout 96 >/dev/null 2>&1 || true
click where IP编辑框_ip地址 && xdotool key End && xdotool key --repeat 40 BackSpace && xdotool type "127.0.0.1:$PORT"
click where 按钮1 && drv wait-page 1 30
click item 选择列表框1 kelvane_bench && drv wait-text 标签4 "已连接Mysql数据库:kelvane_bench" 30
gen() { "${KELVANE_GEN_LINUX:-build-bench/cli/kelvane-gen}" -P "$PORT" --password="$KELVANE_ROOT_PASSWORD" "$@"; }
for n in 10 300 1000; do
  files=()
  for pane in custom-type class-module set-class csharp-entity csharp-operation; do
    gen generate kelvane_bench "wide_$n" --pane "$pane" >"$RUN/wine-$n-$pane.txt"
    files+=("$RUN/wine-$n-$pane.txt")
  done
  click tab 1 && click item 列表框2 "wide_$n" && drv wait-items 列表框1 $((n + 1)) 60
  timeout 3600 "$WINE" "$BASELINE_EXE" "${files[@]}" >/dev/null 2>&1 &
  baseline=$!
  for i in $(seq 1 "$REPEAT"); do
    click tab 1
    echo "generate$n kelvane $(drv click 按钮2 2)" >>"$RESULTS/wine.raw"
    echo "generate$n baseline $(drv click-in "Kelvane baseline" 1)" >>"$RESULTS/wine.raw"
    if [ "$n" = 1000 ]; then
      echo "copy1000 kelvane $(drv click 按钮5)" >>"$RESULTS/wine.raw"
      echo "copy1000 baseline $(drv click-in "Kelvane baseline" 2)" >>"$RESULTS/wine.raw"
    fi
  done
  kill "$baseline" 2>/dev/null; wait "$baseline" 2>/dev/null || true
done
# stall NAME SECONDS COMMAND...: the longest stretch without an answer while COMMAND runs.
stall() {
  local name=$1 seconds=$2; shift 2
  drv stalls "$seconds" >"$RUN/stall" & local watcher=$!
  sleep 1.5
  "$@"
  wait "$watcher"
  echo "$name kelvane $(cat "$RUN/stall")" >>"$RESULTS/wine.raw"
}
for i in $(seq 1 "$REPEAT"); do
  click tab 1
  stall stall_generate 12 click where 按钮2
  stall stall_page3 16 click tab 3
  stall stall_page4 8 click tab 4
done
kill "$WINDOW_PID" 2>/dev/null; wait "$WINDOW_PID" 2>/dev/null || true
timeout 60 /usr/lib/wine/wineserver -k 2>/dev/null || true
stop_wine_display

{
  echo "| Wine row (kelvane.exe under Wine 8, Xvfb) | kelvane ms | baseline ms | ratio | goal |"
  echo "|---|---|---|---|---|"
  for row in "start:start to window shown (vs one CJK label):1.3" "generate10:按钮2, 10 columns (vs five edits):1.3" \
             "generate300:按钮2, 300 columns (vs five edits):1.3" "generate1000:按钮2, 1,000 columns (vs five edits):1.3" \
             "copy1000:按钮5, 1,000-column set class (vs placing the bytes):2"; do
    key=${row%%:*} rest=${row#*:}; label=${rest%:*} goal=${rest##*:}
    k=$(awk -v k="$key" '$1 == k && $2 == "kelvane" {print $3}' "$RESULTS/wine.raw" | median)
    b=$(awk -v k="$key" '$1 == k && $2 == "baseline" {print $3}' "$RESULTS/wine.raw" | median)
    echo "| $label | $k | $b | $(awk -v k="$k" -v b="$b" 'BEGIN {printf "%.2f", k / b}') | ≤ $goal× |"
  done
  for row in "stall_generate:longest without an answer, 按钮2 on 1,000 columns" \
             "stall_page3:longest without an answer, first page 3 after it" \
             "stall_page4:longest without an answer, first page 4 after it"; do
    key=${row%%:*} label=${row#*:}
    k=$(awk -v k="$key" '$1 == k && $2 == "kelvane" {print $3}' "$RESULTS/wine.raw" | median)
    echo "| $label | $k | — | — | ≤ 1000 ms |"
  done
} | tee "$RESULTS/wine.md"
