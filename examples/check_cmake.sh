#!/bin/sh
# Builds examples/embed-html in a folder whose name holds a blank and a %,
# once against Kiv installed into a fresh prefix (find_package) and once
# with Kiv's sources as a subproject, and checks that the programs print
# the page (as a printf statement and as a constant, in C and C++).
# Against the installed Kiv it then checks that kiv_convert writes again
# when the page changes and when Kiv changes, that the build fails with
# Kiv's message when Kiv fails and with its own on a NUL byte, and that
# kiv_convert refuses what would overwrite the source or cannot make a
# constant. Kiv itself must build without GoogleTest, except under CI.
# With WINE, BUILD_DIR is a Windows build: the example is built for
# Windows with MinGW against its install, CMAKE_CROSSCOMPILING_EMULATOR
# set to WINE (standing in for a build on Windows, which runs Kiv.exe as
# it is), from a page with CR LF line ends; its programs run under WINE.
# That run checks the build against the installed Kiv up to the change of
# Kiv, and no more.
# Usage: check_cmake.sh CMAKE GENERATOR BUILD_DIR SOURCE_DIR [WINE]
cmake=$1
generator=$2
build=$3
source_dir=$4
wine=$5

. "$source_dir/tests/require.sh"
[ -z "$wine" ] || require_command x86_64-w64-mingw32-gcc-posix g++-mingw-w64-x86-64-posix
use_scratch example

prefix="$scratch/prefix"
work="$scratch/Beispiel für 50% Rabatt"
example="$work/embed-html"
mkdir -p "$work" && cp -R "$source_dir/examples/embed-html" "$work/" || exit 1
# Windows reads a CR LF as a line feed and writes each line feed as CR LF:
# from a page with CR LF line ends, the programs print it byte for byte.
exe=
line_end='\n'
if [ -n "$wine" ]; then
  sed 's/$/\r/' "$source_dir/examples/embed-html/page.html" >"$example/page.html" || exit 1
  exe=.exe
  line_end='\r\n'
fi
"$cmake" --install "$build" --prefix "$prefix" >/dev/null ||
  { echo "cmake --install failed"; exit 1; }

# configure_and_build BUILD_FOLDER CMAKE_ARGUMENTS...
configure_and_build() {
  folder=$1
  shift
  "$cmake" -S "$example" -B "$folder" -G "$generator" "$@" >"$scratch/log" 2>&1 &&
    "$cmake" --build "$folder" -j2 >>"$scratch/log" 2>&1 ||
    { cat "$scratch/log"; return 1; }
}
build_again() { "$cmake" --build "$1" >"$scratch/log" 2>&1; }
# said TEXT: the log holds TEXT, however CMake wrapped its lines.
said() { tr '\n' ' ' <"$scratch/log" | tr -s ' ' | grep -qF -- "$1"; }

# run PROGRAM ARGUMENTS...: under WINE for a Windows build.
run() { if [ -n "$wine" ]; then "$wine" "$@"; else "$@"; fi; }
# prints_page BUILD_FOLDER: the printf program prints the page and the
# line end that ends the text, the programs with the constant the page
# itself.
prints_page() {
  { cat "$example/page.html"; printf "$line_end"; } >"$scratch/wanted"
  run "$1/embed_html$exe" >"$scratch/printed" && cmp -s "$scratch/wanted" "$scratch/printed" &&
    run "$1/embed_const_c$exe" >"$scratch/printed" && cmp -s "$example/page.html" "$scratch/printed" &&
    run "$1/embed_const_cpp$exe" >"$scratch/printed" && cmp -s "$example/page.html" "$scratch/printed"
}

# With Kiv as a subproject (for Linux only: for Windows it would build all
# of Kiv once more with MinGW).
if [ -z "$wine" ]; then
  configure_and_build "$scratch/sub" -DKIV_SOURCE_DIR="$source_dir" -DCMAKE_BUILD_TYPE=Debug ||
    fail "the example does not build with Kiv as a subproject"
  prints_page "$scratch/sub" || fail "with Kiv as a subproject the example prints another text"
  # A subproject leaves the build type and the install to the project.
  "$cmake" --install "$scratch/sub" --prefix "$scratch/sub-prefix" >"$scratch/log" 2>&1 ||
    { cat "$scratch/log"; fail "cmake --install of the example failed"; }
  [ -z "$(find "$scratch/sub-prefix" -type f 2>/dev/null)" ] ||
    fail "the example's install installs Kiv's files: $(find "$scratch/sub-prefix" -type f)"
  "$cmake" -S "$example" -B "$scratch/sub-untyped" -G "$generator" -DKIV_SOURCE_DIR="$source_dir" \
    >"$scratch/log" 2>&1 || { cat "$scratch/log"; fail "the example does not configure without a build type"; }
  grep '^CMAKE_BUILD_TYPE:STRING=.' "$scratch/sub-untyped/CMakeCache.txt" &&
    fail "Kiv sets the project's build type"
fi

# With the installed Kiv.
installed="$scratch/installed"
if [ -n "$wine" ]; then
  set -- -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$wine"
else
  set --
fi
configure_and_build "$installed" -DCMAKE_PREFIX_PATH="$prefix" "$@" ||
  fail "the example does not build against the installed Kiv"
prints_page "$installed" || fail "against the installed Kiv the example prints another text"
[ "$(wc -l <"$installed/page.h")" -eq 2 ] &&
  grep -q '^static const char page_html\[\] = ".*\\"Rechnung.*";$' "$installed/page.h" ||
  { cat "$installed/page.h"; fail "page.h is not one constant"; }

# A changed page is converted again.
printf '<p>Neu: "heute" 100%%</p>'"$line_end" >>"$example/page.html"
build_again "$installed" || { cat "$scratch/log"; fail "building after a change of the page failed"; }
prints_page "$installed" || fail "after a change of the page the example prints the old text"

# A changed Kiv converts again.
touch "$scratch/before"
touch "$prefix/bin/Kiv$exe"
build_again "$installed" || fail "building after a change of Kiv failed"
[ -n "$(find "$installed/page.inc" -newer "$scratch/before")" ] ||
  fail "page.inc was not written again after Kiv changed"
[ -z "$wine" ] || exit $status

# A NUL byte fails the build of page.h with a message, and no page.h is
# left behind.
printf 'vorher\000nachher\n' >"$example/page.html"
build_again "$installed" && fail "the build succeeded with a NUL byte in the page"
said "kiv_convert: $example/page.html holds a NUL byte" ||
  { cat "$scratch/log"; fail "the build does not say that the page holds a NUL byte"; }
[ -e "$installed/page.h" ] && fail "page.h is left behind after a NUL byte"

# When Kiv fails (the source is a folder), so does the build, with Kiv's
# message; page.inc keeps what the last good run wrote.
cp "$installed/page.inc" "$scratch/good.inc"
rm "$example/page.html" && mkdir "$example/page.html"
if build_again "$installed"; then
  fail "the build succeeded although Kiv failed"
fi
grep -q " Quelldatei $example/page.html existiert nicht\." "$scratch/log" ||
  { cat "$scratch/log"; fail "the failed build does not show Kiv's message"; }
cmp -s "$scratch/good.inc" "$installed/page.inc" || fail "a failed run changed page.inc"

# kiv_convert refuses what would overwrite the source: -E, -A or - (Kiv
# would read standard input and write it over SOURCE), and an OUTPUT that
# is SOURCE.
refused() {  # refused ARGUMENTS MESSAGE
  printf 'include("%s")\nkiv_convert(%s)\n' \
    "$prefix/share/cmake/Kiv/KivConvert.cmake" "$1" >"$scratch/refused.cmake"
  (cd "$scratch" && "$cmake" -P refused.cmake) >"$scratch/log" 2>&1 &&
    fail "kiv_convert accepted $1"
  said "$2" || { cat "$scratch/log"; fail "kiv_convert($1) does not say why"; }
}
refused 'OUTPUT a.inc SOURCE a.html OPTIONS -C -E' 'option -E is for the standard'
refused 'OUTPUT a.html SOURCE ./a.html OPTIONS -C' 'SOURCE and OUTPUT are the same file'
# ... and OPTIONS that cannot make a constant.
refused 'OUTPUT a.h SOURCE a.html VARIABLE a OPTIONS -C -Du' 'option -Du writes a print command'
refused 'OUTPUT a.h SOURCE a.html VARIABLE a OPTIONS -a -r -h' 'need -z or a preset'
refused 'OUTPUT a.h SOURCE a.html VARIABLE a OPTIONS -z -r -h' 'need -a or a preset'
refused 'OUTPUT a.h SOURCE a.html VARIABLE a OPTIONS -z -a -r' 'need -h or a preset'
refused 'OUTPUT a.h SOURCE a.html VARIABLE a OPTIONS -P -sk' 'option -sk writes escapes that C'
refused 'OUTPUT a.h SOURCE a.html VARIABLE 2a' 'VARIABLE 2a is no C name'

# Kiv on a machine without GoogleTest builds its programs and says how to
# get the tests; under CI, or asked to, it fails instead.
bare="$scratch/no-gtest"
without_gtest() {  # without_gtest CI_VALUE KIV_REQUIRE_TESTS_VALUE
  env -u CI ${1:+CI=$1} "$cmake" -S "$source_dir" -B "$bare" -G "$generator" \
    -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DKIV_REQUIRE_TESTS="$2" >"$scratch/log" 2>&1
}
without_gtest '' ON && fail "KIV_REQUIRE_TESTS=ON passed without GoogleTest"
without_gtest true OFF && fail "under CI=true a configure passed without GoogleTest"
if without_gtest '' OFF &&
    grep -q '^GoogleTest not found: building Kiv without its tests (bash scripts/check' "$scratch/log" &&
    "$cmake" --build "$bare" -j2 --target Kiv KivS >"$scratch/log" 2>&1; then
  [ "$(printf 'a"b\n' | "$bare/KivS" -C)" = 'a\"b\n\n' ] || fail "KivS built without GoogleTest converts wrongly"
  [ -x "$bare/Kiv" ] || fail "no Kiv built without GoogleTest"
else
  cat "$scratch/log"; fail "Kiv does not build without GoogleTest"
fi

exit $status
