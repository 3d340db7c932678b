#!/bin/sh
# Installs the build into a fresh prefix and checks what lands there:
# Kiv and KivS in bin/, the manual page in share/man/man1 under both
# names, the zsh completion, and that the installed programs run.
# Usage: install_check.sh CMAKE BUILD_DIR MANUAL_PAGE
cmake=$1
build=$2
page=$3

prefix=$(mktemp -d "${TMPDIR:-/tmp}/kiv-install-XXXXXX") || exit 1
trap 'rm -rf "$prefix"' EXIT
status=0
fail() { echo "$*"; status=1; }

"$cmake" --install "$build" --prefix "$prefix" || { echo "cmake --install failed"; exit 1; }

for program in Kiv KivS; do
  [ -f "$prefix/bin/$program" ] && [ -x "$prefix/bin/$program" ] ||
    fail "bin/$program is missing or not executable"
done
cmp -s "$page" "$prefix/share/man/man1/Kiv.1" ||
  fail "share/man/man1/Kiv.1 is missing or differs from $page"
# zsh's completion where Debian's zsh searches: vendor-completions, but
# site-functions under /usr/local.
[ -f "$prefix/share/zsh/vendor-completions/_Kiv" ] ||
  fail "share/zsh/vendor-completions/_Kiv is missing"
DESTDIR="$prefix/root" "$cmake" --install "$build" --prefix /usr/local >/dev/null ||
  fail "cmake --install --prefix /usr/local with DESTDIR failed"
[ -f "$prefix/root/usr/local/share/zsh/site-functions/_Kiv" ] &&
  [ ! -e "$prefix/root/usr/local/share/zsh/vendor-completions" ] ||
  fail "under /usr/local _Kiv is not in share/zsh/site-functions alone"
# man finds the page under both program names.
if command -v man >/dev/null 2>&1; then
  for name in Kiv KivS; do
    MANPATH="$prefix/share/man" MANWIDTH=80 man "$name" 2>/dev/null |
      grep -q 'Zeichenkettenliterale' || fail "man $name does not show the page"
  done
elif [ -n "${CI:-}" ] && [ "$CI" != false ] && [ "$CI" != 0 ]; then
  fail "man is missing (Debian package man-db); scripts/check installs it"
fi

# The installed programs convert: a file to a file, and a pipe.
printf 'Hallo "Welt" 50%%\n' > "$prefix/in.txt"
printf 'printf("Hallo \\"Welt\\" 50%%%%\\n\\n");\n\n' > "$prefix/wanted.c"
(cd "$prefix" && bin/Kiv in.txt out.c -C -D) >/dev/null
[ $? -eq 0 ] || fail "installed Kiv did not exit with 0"
cmp -s "$prefix/wanted.c" "$prefix/out.c" || fail "installed Kiv converted wrongly"
"$prefix/bin/KivS" -C -D < "$prefix/in.txt" > "$prefix/pipe.c"
[ $? -eq 0 ] || fail "installed KivS did not exit with 0"
cmp -s "$prefix/wanted.c" "$prefix/pipe.c" || fail "installed KivS converted wrongly"

# Without arguments: the help screen and exit code 1.
"$prefix/bin/Kiv" > "$prefix/help.txt"
[ $? -eq 1 ] || fail "installed Kiv without arguments did not exit with 1"
grep -q ' Version 5.1, 20.08.2020' "$prefix/help.txt" || fail "no help screen"

exit $status
