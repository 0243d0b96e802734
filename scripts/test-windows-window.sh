# The window under Wine, sourced by scripts/test-windows (its server, prefix, status and cases).
# kelvane.exe runs on a private Xvfb; a small Win32 console program (the driver, under the same
# prefix) finds its controls, reads texts, lists and the clipboard and says where to click; the
# clicks and keystrokes are real X events from xdotool. Expected texts are the golden files (the
# GBK ones for CF_TEXT), or, where no golden exists, what the Linux kelvane-gen writes for the
# same table.

# The window runs from the unpacked zip, as users get it.
rm -rf "$RUN/zip" && mkdir -p "$RUN/zip"
(cd build-windows && cpack -G ZIP -B "$RUN/zip" -D CPACK_OUTPUT_FILE_PREFIX="$RUN/zip" >/dev/null)
zip_file=$(ls "$RUN"/zip/kelvane-*-windows-x86_64.zip)
unzip -q "$zip_file" -d "$RUN/zip"
listing=$(unzip -Z1 "$zip_file" | sed 's#^[^/]*/##' | sort | tr '\n' ' ')
check_zip() { [ "$listing" = "COPYING.LIB.txt LICENSE.txt README.md THIRD-PARTY.txt kelvane-gen.exe kelvane.exe " ]; }
if check_zip; then cases=$((cases + 1)); else log "the zip holds: $listing"; status=1; fi
WINDOW_EXE=$(ls -d "$RUN"/zip/kelvane-*-windows-x86_64)/kelvane.exe
DRIVER_EXE=build-windows/win32/kelvane_win32_driver.exe
SHOTS=$KELVANE_ROOT/build-windows/screenshots
rm -rf "$SHOTS" && mkdir -p "$SHOTS"

start_wine_display
wine_cjk_fonts "$WINE"

drv() { timeout 90 "$WINE" "$DRIVER_EXE" "$@"; }
# click WHAT...: a left click where the driver says WHAT is (where NAME, tab PAGE, item NAME TEXT).
click() {
  local x y
  read -r x y < <(drv "$@") || return 1
  xdotool mousemove "$x" "$y" click 1
}
# check DESCRIPTION COMMAND...: one window case.
check() {
  local what=$1; shift
  if "$@"; then cases=$((cases + 1)); else log "window: $what FAILED"; status=1; fi
}
# steps COMMAND...: each (a line of shell) in turn; the first that fails is named with its status.
steps() {
  local step result
  for step in "$@"; do
    eval "$step" && continue
    result=$?
    log "window:   failed at: $step (status $result)"
    return 1
  done
}
start_window() {
  timeout 1800 "$WINE" "$WINDOW_EXE" >"$RUN/window.log" 2>&1 &
  WINDOW_PID=$!
}
# Closes the window with 按钮_关闭 and waits for the program to end.
close_window() {
  click where 按钮_关闭
  local i
  for i in $(seq 1 100); do kill -0 "$WINDOW_PID" 2>/dev/null || break; sleep 0.1; done
  ! kill -0 "$WINDOW_PID" 2>/dev/null && wait "$WINDOW_PID"
}
shot() { import -display "$DISPLAY" -window root -crop "$2" +repage "$SHOTS/$1.png"; }

page_of() { case $1 in 按钮3|按钮4) echo 2 ;; 按钮5) echo 3 ;; *) echo 4 ;; esac; }
# copied BUTTON UTF8-FILE GBK-FILE: the button's copy is both files byte for byte, with the locale.
copied() {
  local button=$1 out=$RUN/clip-$1
  click tab "$(page_of "$button")" && click where "$button" && drv responsive 30 && drv clip "$out" || return 1
  cmp -s "$out.utf8" "$2" || { log "CF_UNICODETEXT of $button differs from $2"; return 1; }
  cmp -s "$out.gbk" "$3" || { log "CF_TEXT of $button differs from $3"; return 1; }
  grep -qx 'locale 2052' "$out.formats" || { log "no CF_LOCALE 2052"; return 1; }
}
type_address() {  # type_address TEXT: clears the IP box and types TEXT into it
  click where IP编辑框_ip地址 && xdotool key End && xdotool key --repeat 40 BackSpace && xdotool type "$1"
}
choose() {  # choose DATABASE [TABLE COLUMNS]: clicks in the lists; waits for what each shows
  click tab 1 && click item 选择列表框1 "$1" && drv wait-text 标签4 "已连接Mysql数据库:$1" 20 || return 1
  [ $# -eq 1 ] && return 0
  click item 列表框2 "$2" && drv wait-items 列表框1 "$3" 20
}
generate() { click tab 1 && click where 按钮2 && drv wait-page 2 30; }

golden=tests/golden
gbk_of() { iconv -f UTF-8 -t GBK "$1" >"$2"; }  # the test's own conversion of a UTF-8 golden
gen() { build/cli/kelvane-gen -P "$PORT" --password="$KELVANE_ROOT_PASSWORD" "$@"; }  # the Linux one
expect_linux() { gen generate "$1" "$2" --pane "$3" >"$4"; }  # expect_linux DB TABLE PANE FILE
export -f drv click choose generate copied page_of gbk_of log
export WINE DRIVER_EXE PORT RUN KELVANE_ROOT_PASSWORD

# Wide tables of generated columns, and a database dropped between listing and choosing.
{
  echo "DROP DATABASE IF EXISTS kelvane_wide; CREATE DATABASE kelvane_wide CHARACTER SET utf8mb4; USE kelvane_wide;"
  for n in 300 1000; do
    printf 'CREATE TABLE wide%s (id INT PRIMARY KEY' "$n"
    for i in $(seq 2 "$n"); do printf ', 列%s %s' "$i" "$( ((i % 2)) && echo DATETIME || echo INT)"; done
    echo ");"
  done
  echo "DROP DATABASE IF EXISTS kelvane_dropme; CREATE DATABASE kelvane_dropme; CREATE TABLE kelvane_dropme.t (id INT);"
} | server_sql "$RUN"

log "window: layout at 96 DPI"
start_window
check "window maps with every control at its place (96 DPI)" drv layout 96

log "window: the road through the pages"
# A keystroke that can lead to no address is refused.
type_address "127.0.0.1:$PORT"
check "the address box refuses a stray letter" \
  bash -c 'xdotool key x && sleep 0.3 && [ "$(timeout 60 "$0" "$1" text IP编辑框_ip地址)" = "127.0.0.1:$2" ]' \
  "$WINE" "$DRIVER_EXE" "$PORT"
click where 按钮1
check "按钮1 connects and shows page 1" bash -c 'drv wait-text 标签4 已连接Mysql数据库 20 && drv wait-page 1 5'
check "kelvane_cli and its table user" choose kelvane_cli user 3
check "columns of user listed" bash -c '[ "$(drv items 列表框1)" = "$(printf "id|整数型\nname|文本型\nX|整数型")" ]'
check "按钮2 fills the panes and shows page 2" generate
cat $golden/set_class/user_id_name/{header_local,db_write,db_read,control_binding,json}.txt >"$RUN/user-set.txt"
for pair in 按钮3:custom_type/user_id_name.txt 按钮4:class_module/user_id_name.txt 按钮5:"$RUN/user-set.txt" \
            按钮6:csharp_entity/user_id_name.txt 按钮7:csharp_operation/fixed.txt; do
  button=${pair%%:*} file=${pair#*:}
  [ -f "$file" ] || file=$golden/$file
  gbk_of "$file" "$RUN/expected.gbk"
  check "copy $button of user" copied "$button" "$file" "$RUN/expected.gbk"
done
# A hand edit, with Enter's line break, is what gets copied.
check "Enter in a pane and a hand edit are copied" bash -c \
  'click tab 2 && click where 编辑框1 && xdotool key ctrl+End Return && xdotool type "abc" &&
   click where 按钮3 && drv responsive 10 && drv clip "$0/hand" && cat "$1" >"$0/hand-expected" &&
   printf "\r\nabc" >>"$0/hand-expected" && cmp -s "$0/hand.utf8" "$0/hand-expected"' \
  "$RUN" $golden/custom_type/user_id_name.txt
for page in 0 1 2 3 4 5; do
  click tab "$page" && sleep 0.5 && shot "page$page-96dpi" 800x500+50+50
done

check "用户表: Chinese name and columns" choose kelvane_cli 用户表 3
check "按钮2 for 用户表" generate
gbk=tests/golden/cli/cases/export_chinese_gbk_bytes_fixed/files/用户表
cat $golden/set_class/chinese/{header_local,db_write,db_read,control_binding,json}.txt >"$RUN/chinese-set.txt"
check "copy 按钮3 of 用户表" copied 按钮3 $golden/custom_type/chinese.txt "$gbk/custom_type.txt"
check "copy 按钮4 of 用户表" copied 按钮4 $golden/class_module/chinese.txt "$gbk/class_module.txt"
check "copy 按钮5 of 用户表" copied 按钮5 "$RUN/chinese-set.txt" "$gbk/set_class.txt"
check "copy 按钮6 of 用户表" copied 按钮6 $golden/csharp_entity/chinese.txt "$gbk/用户表.cs"
check "copy 按钮7 of 用户表" copied 按钮7 $golden/csharp_operation/fixed.txt "$gbk/Star.cs"

# Keyboard selection runs the same commands as a click.
check "arrow keys in the table list" bash -c \
  'choose kelvane_cli user 3 && xdotool key Down && drv wait-items 列表框1 3 10 && sleep 0.5 &&
   [ "$(drv items 列表框1 | head -1)" = "编号|整数型" ]'
check "arrow keys in the database list" bash -c \
  'choose kelvane_blog && xdotool key Down && drv wait-text 标签4 已连接Mysql数据库:kelvane_cli 20'

hostile="kelvane hostile \`q' \"%\\ 库"
mapfile -t hostile_tables < <(server_sql "$RUN" -N -r -B -D "$hostile" -e "SHOW TABLES")
[ ${#hostile_tables[@]} -eq 6 ] || { log "window: the hostile database has ${#hostile_tables[@]} tables"; status=1; }
for table in "${hostile_tables[@]}"; do
  columns=$(gen columns "$hostile" "$table" | wc -l)
  gen generate "$hostile" "$table" --pane custom-type >"$RUN/expected.txt" 2>>"$RUN/gen-warnings.txt" || status=1
  gbk_of "$RUN/expected.txt" "$RUN/expected.gbk"
  check "hostile table $table" bash -c 'choose "$0" "$1" "$2" && generate && copied 按钮3 "$3/expected.txt" "$3/expected.gbk"' \
    "$hostile" "$table" "$columns" "$RUN"
done

# A character GBK cannot hold: CF_UNICODETEXT carries it; CF_TEXT is what Windows derives.
gen generate kelvane_cli_korean t_ko --pane custom-type --encoding utf-8 >"$RUN/korean.txt"
check "a Korean column name: CF_UNICODETEXT exact, CF_TEXT derived" bash -c \
  'choose kelvane_cli_korean t_ko 3 && generate && click tab 2 && click where 按钮3 && drv responsive 10 &&
   drv clip "$0/korean" && cmp -s "$0/korean.utf8" "$0/korean.txt" && [ -s "$0/korean.gbk" ] &&
   ! cmp -s "$0/korean.gbk" "$0/korean.txt"' "$RUN"

# 300 columns: every pane; 1,000 columns: the set class (about 1 MB) fits whole.
for pane in 按钮3:custom-type 按钮4:class-module 按钮5:set-class 按钮6:csharp-entity 按钮7:csharp-operation; do
  expect_linux kelvane_wide wide300 "${pane#*:}" "$RUN/wide300-${pane%%:*}.txt"
done
check "wide300: 300 columns listed" choose kelvane_wide wide300 301
check "按钮2 for wide300" generate
for button in 按钮3 按钮4 按钮5 按钮6 按钮7; do
  gbk_of "$RUN/wide300-$button.txt" "$RUN/expected.gbk"
  check "copy $button of wide300" copied "$button" "$RUN/wide300-$button.txt" "$RUN/expected.gbk"
done
expect_linux kelvane_wide wide1000 set-class "$RUN/wide1000.txt"
gbk_of "$RUN/wide1000.txt" "$RUN/wide1000.gbk"
# stalled NAME SECONDS COMMAND...: runs COMMAND while the driver probes the window; the longest
# time it went without answering, in ms, goes to $RUN/stall-NAME (a measurement, logged below).
# The window answers again afterwards.
stalled() {
  local name=$1 seconds=$2; shift 2
  drv stalls "$seconds" >"$RUN/stall-$name" & local watcher=$!
  sleep 1.5
  "$@"; local ok=$?
  wait "$watcher" || ok=1
  [ $ok -eq 0 ] && drv responsive 30
}
check "wide1000: 1,000 columns listed" choose kelvane_wide wide1000 1001
check "按钮2 for wide1000" stalled generate 12 generate
check "the first showing of page 3 after it" stalled page3 16 click tab 3
check "the first showing of page 4 after it" stalled page4 6 click tab 4
log "window: longest stall on 1,000 columns: 按钮2 $(cat "$RUN/stall-generate") ms," \
  "first page 3 $(cat "$RUN/stall-page3") ms, first page 4 $(cat "$RUN/stall-page4") ms"
check "wide1000: the set class whole" copied 按钮5 "$RUN/wide1000.txt" "$RUN/wide1000.gbk"
log "window: the 1,000-column set class is $(wc -c <"$RUN/wide1000.txt") bytes"

log "window: faults"
check "a wrong password fails" steps 'drv set 编辑框_密码 wrong' 'click tab 0' 'click where 按钮1' \
  'drv wait-text 标签4 连接失败 20' 'drv wait-items 选择列表框1 0 5'
drv set 编辑框_密码 "$KELVANE_ROOT_PASSWORD"  # whatever became of the case above
check "a database dropped after listing" steps 'click tab 0' 'click where 按钮1' 'drv wait-page 1 20' \
  'server_sql "$RUN" -e "DROP DATABASE kelvane_dropme"' 'click item 选择列表框1 kelvane_dropme' \
  'drv wait-text 标签4 连接失败 20' 'drv wait-items 列表框2 0 5' 'drv responsive 5'
# A peer that accepts and never speaks; it writes how many connections came.
LISTEN_PORT=$(free_port)
python3 -c '
import socket, sys
s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("127.0.0.1", int(sys.argv[1]))); s.listen(8); held = []
open(sys.argv[2], "w").write("0")
while True:
    held.append(s.accept()[0]); open(sys.argv[2], "w").write(str(len(held)))
' "$LISTEN_PORT" "$RUN/accepted" &
LISTENER_PID=$!
for _ in $(seq 1 50); do [ -f "$RUN/accepted" ] && break; sleep 0.1; done
for address in "0.0.0.0:$LISTEN_PORT" "[::]:$LISTEN_PORT" "0:$LISTEN_PORT" ""; do
  check "unusable address '$address' contacts nothing" bash -c \
    'drv set IP编辑框_ip地址 "$0" && drv set 标签4 "" && click tab 0 && click where 按钮1 &&
     drv wait-text 标签4 连接失败 10 && [ "$(cat "$1/accepted")" = 0 ]' "$address" "$RUN"
done
check "a silent server: the window answers while it waits, 按钮1 again starts nothing, it gives up in time" bash -c \
  'drv set IP编辑框_ip地址 "127.0.0.1:$0" && drv set 标签4 "" && click where 按钮1 && sleep 1 &&
   [ "$(cat "$1/accepted")" -ge 1 ] && drv responsive 0.5 && click tab 5 && drv wait-page 5 2 &&
   click tab 0 && click where 按钮1 && sleep 1 && [ "$(cat "$1/accepted")" = 1 ] &&
   drv wait-text 标签4 连接失败 30 && drv responsive 5 && click tab 1 && drv wait-page 1 5' "$LISTEN_PORT" "$RUN"
# 按钮_关闭 in the middle of a connect to the silent server: the program ends at once, well
# before the connect would give up.
click tab 0 && click where 按钮1 && sleep 1 || true
read -r close_x close_y < <(drv where 按钮_关闭) || true
close_started=$(date +%s%N)
xdotool mousemove "$close_x" "$close_y" click 1
for _ in $(seq 1 200); do kill -0 "$WINDOW_PID" 2>/dev/null || break; sleep 0.02; done
close_ms=$(( ($(date +%s%N) - close_started) / 1000000 ))
closed=0; ! kill -0 "$WINDOW_PID" 2>/dev/null && wait "$WINDOW_PID" || closed=1
log "window: 按钮_关闭 during a connect ended the program in $close_ms ms"
# "At once": well before the connect's 10 s deadline, which a close that waited would reach.
check "按钮_关闭 ends the program at once, also while a connect waits" \
  bash -c '[ "$0" = 0 ] && [ "$1" -lt 5000 ]' "$closed" "$close_ms"
kill "$LISTENER_PID" 2>/dev/null; wait "$LISTENER_PID" 2>/dev/null || true; LISTENER_PID=

log "window: layout at 144 DPI"
timeout 60 /usr/lib/wine/wineserver -k 2>/dev/null || true
timeout 60 "$WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
start_window
check "window maps with every control at its place (144 DPI)" drv layout 144
click tab 0 && sleep 0.5 && shot page0-144dpi 1200x750+75+75
check "按钮_关闭 ends the program (144 DPI)" close_window
timeout 60 "$WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f >/dev/null 2>&1
timeout 60 /usr/lib/wine/wineserver -k 2>/dev/null || true
stop_wine_display
log "window: screenshots in $SHOTS"
