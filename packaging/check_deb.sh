#!/bin/sh
# Makes the Debian package with CPack, checks its name and contents,
# lets lintian judge it (no error, no warning), unpacks it and runs the
# unpacked programs.
# Usage: check_deb.sh CPACK BUILD_DIR SOURCE_DIR
cpack=$1
build=$2
source_dir=$3
. "$source_dir/tests/require.sh"
require_command dpkg-deb dpkg
require_command lintian lintian

use_scratch deb

(cd "$build" && "$cpack" -G DEB -B "$scratch/out") >"$scratch/log" 2>&1 ||
  { cat "$scratch/log"; echo "cpack -G DEB failed"; exit 1; }
deb="$scratch/out/kiv_5.1-1_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { ls "$scratch/out"; echo "no package $deb"; exit 1; }
[ "$(dpkg-deb -f "$deb" Package Version)" = "Package: kiv
Version: 5.1-1" ] || fail "control fields: $(dpkg-deb -f "$deb" Package Version)"

dpkg-deb -c "$deb" | awk '{ print $6 }' >"$scratch/contents"
for path in usr/bin/Kiv usr/bin/KivS \
    usr/share/man/man1/Kiv.1.gz usr/share/man/man1/KivS.1.gz \
    usr/share/bash-completion/completions/Kiv usr/share/bash-completion/completions/KivS \
    usr/share/zsh/vendor-completions/_Kiv \
    usr/share/doc/kiv/copyright usr/share/doc/kiv/changelog.Debian.gz \
    usr/share/lintian/overrides/kiv usr/share/cmake/Kiv/KivConfig.cmake; do
  grep -qx "\./$path" "$scratch/contents" || fail "the package lacks /$path"
done

lintian --fail-on error,warning "$deb" >"$scratch/lintian" 2>&1 ||
  { cat "$scratch/lintian"; fail "lintian finds errors or warnings"; }

root="$scratch/root"
dpkg-deb -x "$deb" "$root" || exit 1
printf 'Hallo "Welt" 50%%\n' >"$scratch/in.txt"
printf 'printf("Hallo \\"Welt\\" 50%%%%\\n\\n");\n\n' >"$scratch/wanted.c"
"$root/usr/bin/Kiv" "$scratch/in.txt" "$scratch/out.c" -C -D &&
  cmp -s "$scratch/wanted.c" "$scratch/out.c" || fail "the unpacked Kiv converts wrongly"
"$root/usr/bin/KivS" -C -D <"$scratch/in.txt" >"$scratch/pipe.c" &&
  cmp -s "$scratch/wanted.c" "$scratch/pipe.c" || fail "the unpacked KivS converts wrongly"
[ "$(gzip -dc "$root/usr/share/man/man1/KivS.1.gz")" = ".so man1/Kiv.1" ] ||
  fail "KivS.1.gz does not point to Kiv.1"
grep -q '^License: Expat' "$root/usr/share/doc/kiv/copyright" ||
  fail "the copyright file names no license"

exit $status
