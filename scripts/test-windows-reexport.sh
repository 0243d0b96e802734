# Re-exports under Wine, sourced by scripts/test-windows (its server on PORT in RUN, WINE, GEN,
# status and cases). A database of its own is exported three times into the same folder by
# kelvane-gen.exe and by the Linux kelvane-gen, each into its own folder: fresh, again with
# nothing changed (every table folder holds only the previous export), and again after a
# hand-made notes.txt went into two table folders and two tables changed their columns (one of
# them also holding notes.txt). Every run exits 0, the two folder trees are the same byte for
# byte, manifests included, and notes.txt is still there, unchanged.
REEXPORT_DB=kelvane_wine_reexport
server_sql "$RUN" <<SQL
DROP DATABASE IF EXISTS $REEXPORT_DB;
CREATE DATABASE $REEXPORT_DB CHARACTER SET utf8mb4;
USE $REEXPORT_DB;
CREATE TABLE kept (id INT PRIMARY KEY, name VARCHAR(32));
CREATE TABLE noted (id INT PRIMARY KEY, amount DECIMAL(10,2), created DATETIME);
CREATE TABLE altered (id INT PRIMARY KEY, flag TINYINT(1));
CREATE TABLE 订单 (编号 INT PRIMARY KEY, 金额 DECIMAL(10,2));
SQL

# reexport_both STEP: one export of the database by each program into its folder under
# $RUN/reexport-{linux,windows}; both exit 0, the trees and the summaries are the same.
reexport_both() {
  local step=$1 side out
  for side in linux windows; do
    out=$RUN/reexport-$side
    mkdir -p "$out"
    if [ "$side" = linux ]; then
      build/cli/kelvane-gen "${GEN[@]}" export "$REEXPORT_DB" --out "$out/out" \
        >"$out/$step.stdout" 2>"$out/$step.stderr"
    else
      timeout 300 "$WINE" build-windows/cli/kelvane-gen.exe "${GEN[@]}" export "$REEXPORT_DB" \
        --out "$out/out" >"$out/$step.stdout" 2>"$out/$step.stderr"
    fi || { log "re-export $step: $side exit $?"; cat "$out/$step.stderr" >&2; return 1; }
  done
  diff -r "$RUN/reexport-linux/out" "$RUN/reexport-windows/out" >&2 ||
    { log "re-export $step: the folders differ between Linux and Windows"; return 1; }
  [ "$(sed "s#$RUN/reexport-linux#X#" "$RUN/reexport-linux/$step.stdout")" = \
    "$(sed "s#$RUN/reexport-windows#X#" "$RUN/reexport-windows/$step.stdout")" ] ||
    { log "re-export $step: the summaries differ between Linux and Windows"; return 1; }
}
# notes_kept: the hand-made files are where they were put, unchanged.
notes_kept() {
  local side table
  for side in linux windows; do
    for table in noted 订单; do
      cmp -s "$RUN/reexport-notes.txt" "$RUN/reexport-$side/out/$table/notes.txt" ||
        { log "re-export: $side lost or changed $table/notes.txt"; return 1; }
    done
  done
}
reexport_case() {  # reexport_case DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then cases=$((cases + 1)); log "re-export: $what"; else status=1; fi
}

rm -rf "$RUN"/reexport-*
reexport_case "fresh folders: identical" reexport_both fresh
reexport_case "again, nothing changed: identical" reexport_both unchanged
printf 'hand-made notes\r\n表的说明\n' >"$RUN/reexport-notes.txt"
for side in linux windows; do
  cp "$RUN/reexport-notes.txt" "$RUN/reexport-$side/out/noted/notes.txt"
  cp "$RUN/reexport-notes.txt" "$RUN/reexport-$side/out/订单/notes.txt"
done
server_sql "$RUN" "$REEXPORT_DB" -e "ALTER TABLE altered ADD COLUMN note VARCHAR(64), DROP COLUMN flag;
  ALTER TABLE 订单 ADD COLUMN 备注 TEXT;"
reexport_case "again, notes.txt added and columns changed: identical, notes.txt kept" \
  eval 'reexport_both changed && notes_kept'
reexport_case "again, nothing changed since: identical, notes.txt kept" \
  eval 'reexport_both unchanged-again && notes_kept'
server_sql "$RUN" -e "DROP DATABASE $REEXPORT_DB"
