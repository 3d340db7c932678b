#!/bin/sh
# Builds examples/embed-html with its Makefile (the pattern rule of the
# README) in a folder whose name holds a blank, runs the program, changes
# the page and checks that make converts it again. A name with a shell
# metacharacter goes through the rule too.
# Usage: check_make.sh KIV_BIN_DIR SOURCE_DIR
bin_dir=$1
source_dir=$2
. "$source_dir/tests/require.sh"
require_command make make

use_scratch make

example="$scratch/mit Leerzeichen/embed-html"
mkdir -p "$scratch/mit Leerzeichen" && cp -R "$source_dir/examples/embed-html" "$example" || exit 1
PATH="$bin_dir:$PATH"
export PATH

prints_page() {
  { cat "$example/page.html"; echo; } >"$scratch/wanted"
  "$example/embed_html" >"$scratch/printed" && cmp -s "$scratch/wanted" "$scratch/printed"
}

make -C "$example" >"$scratch/log" 2>&1 || { cat "$scratch/log"; fail "make failed"; }
prints_page || fail "the program built by make prints another text"

printf '<p>Neu: "heute" 100%%</p>\n' >>"$example/page.html"
make -C "$example" >"$scratch/log" 2>&1 || { cat "$scratch/log"; fail "make after a change failed"; }
prints_page || fail "after a change of the page make left the old text"

printf '<b>F&E</b>\n' >"$example/F&E.html"
make -C "$example" 'F&E.inc' >"$scratch/log" 2>&1 || { cat "$scratch/log"; fail "make F&E.inc failed"; }
[ "$(cat "$example/F&E.inc")" = 'printf("<b>F&E</b>\n\n");' ] ||
  fail "F&E.inc holds: $(cat "$example/F&E.inc")"

exit $status
