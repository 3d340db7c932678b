#!/bin/sh
# Runs every shown example of the documents and compares what it prints,
# byte for byte, with what the document shows.
#
# An example is a fenced block of a Markdown file whose first line begins
# with "$ ", or an .EX/.EE block of a manual page whose first line does:
# each "$ " line is a command, the lines after it up to the next command
# are its output (standard output and standard error, as a terminal shows
# them). An empty line before the closing fence is output too. A block is
# left out, and listed, when the last line before it that is not empty
# says why:
#   <!-- not run: REASON -->          (Markdown)
#   .\" not run: REASON               (manual page)
#
# The blocks of one document run in order in one fresh folder, so that a
# later block may use a file an earlier one wrote; samples/ is copied into
# it, and Kiv and KivS are found on PATH, as after installing.
# Usage: check_examples.sh SOURCE_DIR BIN_DIR
source_dir=$1
bin_dir=$2
. "$source_dir/tests/require.sh"
require_command bash bash
use_scratch docs

PATH="$bin_dir:$PATH"
LC_ALL=C
export PATH LC_ALL

# Splits DOCUMENT into $scratch/blocks/N.sh (the commands), N.want (the
# output shown), N.where (document and line) and, for a block left out,
# N.skip (the reason).
extract() {  # extract DOCUMENT
  rm -rf "$scratch/blocks" && mkdir "$scratch/blocks" || exit 1
  awk -v dir="$scratch/blocks" -v doc="$1" '
    # The text a reader sees for a line of a manual page.
    function unroff(line,   out, c, two) {
      out = ""
      while (line != "") {
        c = substr(line, 1, 1)
        if (c != "\\") { out = out c; line = substr(line, 2); continue }
        two = substr(line, 2, 1)
        if (two == "-") out = out "-"
        else if (two == "e") out = out "\\"
        else if (two == "&") out = out
        else if (substr(line, 2, 3) == "(dq") { out = out "\""; line = substr(line, 3) }
        else if (substr(line, 2, 3) == "(aq") { out = out "\047"; line = substr(line, 3) }
        else if (substr(line, 2, 3) == "(ga") { out = out "`"; line = substr(line, 3) }
        else { printf "%s:%d: escape %s is unknown to the doc test\n", doc, NR, substr(line, 1, 4); bad = 1 }
        line = substr(line, 3)
      }
      return out
    }
    function start() { inside = 1; count = 0; first = NR + 1; skip = pending; pending = "" }
    function finish(   base) {
      inside = 0
      if (count == 0) return
      base = dir "/" sprintf("%03d", ++blocks)
      if (skip != "") { print skip > (base ".skip"); close(base ".skip") }
      printf "%s:%d\n", doc, first > (base ".where"); close(base ".where")
      printf "%s", script > (base ".sh"); close(base ".sh")
      printf "%s", want > (base ".want"); close(base ".want")
    }
    function take(line) {
      if (count == 0 && substr(line, 1, 2) != "$ ") { examples = 0; return }
      if (substr(line, 1, 2) == "$ ") { script = script substr(line, 3) "\n"; count++ }
      else want = want line "\n"
    }
    BEGIN { man = doc ~ /\.[1-9]$/ }
    !inside && !man && /^```/ { start(); examples = 1; script = ""; want = ""; next }
    inside && !man && /^```/ { if (examples) finish(); inside = 0; next }
    !inside && man && /^\.EX$/ { start(); examples = 1; script = ""; want = ""; next }
    inside && man && /^\.EE$/ { if (examples) finish(); inside = 0; next }
    inside { if (examples) take(man ? unroff($0) : $0); next }
    /^<!-- not run: .* -->$/ { pending = $0; sub(/^<!-- not run: /, "", pending); sub(/ -->$/, "", pending); next }
    /^\.\\" not run: / { pending = $0; sub(/^\.\\" not run: /, "", pending); next }
    NF { pending = "" }
    END {
      if (inside) { printf "%s: a block is not closed\n", doc; bad = 1 }
      exit bad
    }
  ' "$source_dir/$1"
}

ran=0 skipped=0
# The documents a reader is pointed to; anything under a build folder or
# node_modules is not ours.
documents=$(cd "$source_dir" && find . -name '*.md' ! -path './build*' ! -path '*/node_modules/*' |
  sed 's|^\./||' | sort; echo man/Kiv.1)
for document in $documents; do
  extract "$document" || { status=1; continue; }
  folder="$scratch/run/$document"
  mkdir -p "$folder" && cp -R "$source_dir/samples" "$folder/samples" || exit 1
  for where in "$scratch"/blocks/*.where; do
    [ -e "$where" ] || continue
    block=${where%.where}
    if [ -e "$block.skip" ]; then
      echo "not run: $(cat "$where"): $(cat "$block.skip")"
      skipped=$((skipped + 1))
      continue
    fi
    # As typed at a bash prompt: messages of the shell begin "bash:".
    (cd "$folder" && bash -c "$(cat "$block.sh")" bash) >"$block.got" 2>&1 </dev/null
    ran=$((ran + 1))
    if ! cmp -s "$block.want" "$block.got"; then
      fail "$(cat "$where"): the example prints something else (- shown, + printed):"
      diff -u "$block.want" "$block.got" | tail -n +3
    fi
  done
done
echo "$ran examples run, $skipped not run"
[ "$ran" -gt 0 ] || fail "no example found"
exit $status
