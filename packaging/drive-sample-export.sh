#!/bin/sh
# Exports the shipped sample workbook through the running program, by keyboard, as a person
# would: browse to Samples/sample.xls, type the block A1:B3 into the sheet window, map the two
# columns to First Name and Last Name, press "Save As VCF (ANSI Format)", confirm "Done.".
# Needs an X display (Xvfb) and xdotool. Usage: drive-sample-export.sh PROGRAM SAMPLE OUTDIR
# The output folder box is set to OUTDIR; the script exits 0 when the three files are there.
set -eu
program=$1 sample=$2 out=$3
step() { echo "== $*"; }
focus_new_window() {  # waits for a window titled $1 that is not in $2, focuses it, prints its id
  for _ in $(seq 1 100); do
    for w in $(xdotool search --onlyvisible --name "$1" 2>/dev/null); do
      case " $2 " in *" $w "*) ;; *) xdotool windowfocus --sync "$w"; echo "$w"; return 0 ;; esac
    done
    sleep 0.2
  done
  echo "no window titled '$1' came up" >&2
  return 1
}
keys() { xdotool key --delay 120 "$@"; sleep 0.4; }

mkdir -p "$out"
"$program" &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT
step "main window"
main=$(focus_new_window '^Cardwright$' "")
sleep 1
step "browse to the sample (focus starts on the workbook box; Tab reaches its ... button)"
keys Tab space
focus_new_window 'Select A Picture' "" >/dev/null
sleep 0.5
xdotool type --delay 30 "$sample"
keys Return
step "type the block into the sheet window and confirm with Return"
focus_new_window '^Cardwright$' "$main" >/dev/null
sleep 0.5
keys alt+a
xdotool type --delay 30 "A1:B3"
keys Return
step "map the columns: list, chooser"
xdotool windowfocus --sync "$main"
sleep 0.5
keys Tab Tab F shift+Tab Down Tab L
step "output folder"
keys Tab ctrl+a
xdotool type --delay 20 "$out"
step "save (ANSI) and confirm Done."
keys Tab Tab space
sleep 2
keys Return
sleep 1
ls -l "$out"
n=$(ls "$out" | grep -c '^ANSI_.*\.vcf$' || true)
[ "$n" -eq 3 ] || { echo "expected 3 ANSI files in $out, found $n" >&2; exit 1; }
echo "== exported $n files"
