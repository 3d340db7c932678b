#!/bin/sh
# Makes a Linux package with CPack (DEB, RPM or TGZ), checks its name and
# contents, lets the distribution's checker judge it (lintian or rpmlint:
# no error, no warning), unpacks it and runs the unpacked programs.
# Usage: check_package.sh GENERATOR CPACK BUILD_DIR SOURCE_DIR
generator=$1
cpack=$2
build=$3
source_dir=$4
. "$source_dir/tests/require.sh"
case $generator in
  DEB) require_command dpkg-deb dpkg; require_command lintian lintian ;;
  RPM) require_command rpmbuild rpm; require_command rpmlint rpmlint ;;
esac

use_scratch package

(cd "$build" && "$cpack" -G "$generator" -B "$scratch/out") >"$scratch/log" 2>&1 ||
  { cat "$scratch/log"; echo "cpack -G $generator failed"; exit 1; }
# Per package: its file, where the prefix lies in it and how manual pages
# are stored.
case $generator in
  DEB) package="$scratch/out/kiv_5.1-1_$(dpkg --print-architecture).deb" top=usr page=.gz ;;
  RPM) package="$scratch/out/kiv-5.1-1.$(uname -m).rpm" top=usr page=.gz ;;
  TGZ) package="$scratch/out/kiv-5.1-linux-$(uname -m).tar.gz" top=kiv-5.1-linux-$(uname -m) page= ;;
esac
[ -f "$package" ] || { ls "$scratch/out"; echo "no package $package"; exit 1; }

# The contents, one path a line without a leading ./ or /.
case $generator in
  DEB) dpkg-deb -c "$package" | awk '{ print $6 }' ;;
  RPM) rpm -qlp "$package" ;;
  TGZ) tar tzf "$package" ;;
esac | sed 's|^\./||; s|^/||' >"$scratch/contents"
case $generator in
  DEB) extra="usr/share/doc/kiv/copyright usr/share/doc/kiv/changelog.Debian.gz usr/share/lintian/overrides/kiv" ;;
  RPM) extra= ;;
  TGZ) extra="$top/README.md $top/LICENSE" ;;
esac
for path in $top/bin/Kiv $top/bin/KivS \
    $top/share/man/man1/Kiv.1$page $top/share/man/man1/KivS.1$page \
    $top/share/bash-completion/completions/Kiv $top/share/bash-completion/completions/KivS \
    $top/share/zsh/vendor-completions/_Kiv $top/share/cmake/Kiv/KivConfig.cmake $extra; do
  grep -qx "$path" "$scratch/contents" || fail "the package lacks $path"
done

case $generator in
  DEB)
    [ "$(dpkg-deb -f "$package" Package Version)" = "Package: kiv
Version: 5.1-1" ] || fail "control fields: $(dpkg-deb -f "$package" Package Version)"
    lintian --fail-on error,warning "$package" >"$scratch/lint" 2>&1 ||
      { cat "$scratch/lint"; fail "lintian finds errors or warnings"; } ;;
  RPM)
    fields=$(rpm -qp --qf '%{NAME} %{VERSION}-%{RELEASE} %{LICENSE}' "$package")
    [ "$fields" = "kiv 5.1-1 MIT" ] || fail "header fields: $fields"
    # Beside the package's own filters: a package is signed by whoever
    # publishes it (rpmsign --addsign), not by its build.
    { cat "$source_dir/packaging/kiv.rpmlintrc"; echo 'addFilter("E: no-signature")'; } \
      >"$scratch/rpmlintrc"
    rpmlint -r "$scratch/rpmlintrc" --ignore-unused-rpmlintrc "$package" >"$scratch/lint" 2>&1 &&
      grep -q ' 0 errors, 0 warnings' "$scratch/lint" ||
      { cat "$scratch/lint"; fail "rpmlint finds errors or warnings"; } ;;
esac

root="$scratch/root"
mkdir "$root" || exit 1
case $generator in
  DEB) dpkg-deb -x "$package" "$root" ;;
  RPM) rpm2archive "$package" && tar xzf "$package.tgz" -C "$root" ;;
  TGZ) tar xzf "$package" -C "$root" ;;
esac || { echo "cannot unpack $package"; exit 1; }
root="$root/$top"
printf 'Hallo "Welt" 50%%\n' >"$scratch/in.txt"
printf 'printf("Hallo \\"Welt\\" 50%%%%\\n\\n");\n\n' >"$scratch/wanted.c"
"$root/bin/Kiv" "$scratch/in.txt" "$scratch/out.c" -C -D &&
  cmp -s "$scratch/wanted.c" "$scratch/out.c" || fail "the unpacked Kiv converts wrongly"
"$root/bin/KivS" -C -D <"$scratch/in.txt" >"$scratch/pipe.c" &&
  cmp -s "$scratch/wanted.c" "$scratch/pipe.c" || fail "the unpacked KivS converts wrongly"
if [ -n "$page" ]; then
  [ "$(gzip -dc "$root/share/man/man1/KivS.1.gz")" = ".so man1/Kiv.1" ] ||
    fail "KivS.1.gz does not point to Kiv.1"
else
  [ "$(cat "$root/share/man/man1/KivS.1")" = ".so man1/Kiv.1" ] || fail "KivS.1 does not point to Kiv.1"
  cmp -s "$source_dir/LICENSE" "$root/LICENSE" || fail "LICENSE is not the license"
fi
if [ "$generator" = DEB ]; then
  grep -q '^License: Expat' "$root/share/doc/kiv/copyright" ||
    fail "the copyright file names no license"
fi

exit $status
