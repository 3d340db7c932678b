#!/bin/sh
# Builds examples/embed-html with make (the pattern rule of
# examples/README.md) or with Meson and ninja (its custom_target) in a
# folder whose name holds a blank, runs the program, changes the page and
# checks that the build converts it again. With make, a name with a shell
# metacharacter goes through the rule too.
# Usage: check_tool.sh make|meson KIV_BIN_DIR SOURCE_DIR
tool=$1
bin_dir=$2
source_dir=$3
. "$source_dir/tests/require.sh"
if [ "$tool" = make ]; then
  require_command make make
else
  require_command meson meson
  require_command ninja ninja-build
fi

use_scratch "$tool"

example="$scratch/mit Leerzeichen/embed-html"
mkdir -p "$scratch/mit Leerzeichen" && cp -R "$source_dir/examples/embed-html" "$example" || exit 1
PATH="$bin_dir:$PATH"
export PATH

# build: make in the example's folder, or ninja in Meson's build folder.
if [ "$tool" = make ]; then
  program="$example/embed_html"
  build() { make -C "$example" >"$scratch/log" 2>&1; }
else
  program="$example/build/embed_html"
  meson setup "$example/build" "$example" >"$scratch/log" 2>&1 ||
    { cat "$scratch/log"; fail "meson setup failed"; exit 1; }
  build() { ninja -C "$example/build" >"$scratch/log" 2>&1; }
fi
prints_page() {
  { cat "$example/page.html"; echo; } >"$scratch/wanted"
  "$program" >"$scratch/printed" && cmp -s "$scratch/wanted" "$scratch/printed"
}

build || { cat "$scratch/log"; fail "$tool failed"; }
prints_page || fail "the program built by $tool prints another text"

printf '<p>Neu: "heute" 100%%</p>\n' >>"$example/page.html"
build || { cat "$scratch/log"; fail "$tool after a change failed"; }
prints_page || fail "after a change of the page $tool left the old text"

if [ "$tool" = make ]; then
  printf '<b>F&E</b>\n' >"$example/F&E.html"
  make -C "$example" 'F&E.inc' >"$scratch/log" 2>&1 || { cat "$scratch/log"; fail "make F&E.inc failed"; }
  [ "$(cat "$example/F&E.inc")" = 'printf("<b>F&E</b>\n\n");' ] ||
    fail "F&E.inc holds: $(cat "$example/F&E.inc")"
fi

exit $status
