#!/bin/sh
# Makes the ZIP of a Windows build with CPack, unpacks it, checks that it
# holds the programs, the README and the license, and runs the unpacked
# Kiv.exe and KivS.exe under Wine from their folder.
# Usage: check_zip.sh CPACK WINDOWS_BUILD_DIR WINE SOURCE_DIR
cpack=$1
build=$2
wine=$3
source_dir=$4
. "$source_dir/tests/require.sh"
require_command unzip unzip

use_scratch zip

(cd "$build" && "$cpack" -G ZIP -B "$scratch/out") >"$scratch/log" 2>&1 ||
  { cat "$scratch/log"; echo "cpack -G ZIP failed"; exit 1; }
zip="$scratch/out/kiv-5.1-win64.zip"
[ -f "$zip" ] || { ls "$scratch/out"; echo "no package $zip"; exit 1; }
unzip -q "$zip" -d "$scratch/unpacked" || { echo "unzip failed"; exit 1; }
top="$scratch/unpacked/kiv-5.1-win64"

for path in bin/Kiv.exe bin/KivS.exe README.md LICENSE.txt; do
  [ -f "$top/$path" ] || fail "the ZIP lacks $path"
done
cmp -s "$source_dir/LICENSE" "$top/LICENSE.txt" || fail "LICENSE.txt is not the license"

# On Windows every line feed written becomes CR LF.
printf 'Hallo "Welt" 50%%\n' >"$top/bin/in.txt"
printf 'printf("Hallo \\"Welt\\" 50%%%%\\n\\n");\r\n\r\n' >"$scratch/wanted.c"
(cd "$top/bin" && "$wine" Kiv.exe in.txt out.c -C -D) >"$scratch/log" 2>&1 ||
  { cat "$scratch/log"; fail "Kiv.exe from the ZIP failed"; }
cmp -s "$scratch/wanted.c" "$top/bin/out.c" || fail "Kiv.exe from the ZIP converts wrongly"
(cd "$top/bin" && "$wine" KivS.exe -C -D <in.txt) >"$scratch/pipe.c" 2>"$scratch/log" ||
  { cat "$scratch/log"; fail "KivS.exe from the ZIP failed"; }
cmp -s "$scratch/wanted.c" "$scratch/pipe.c" || fail "KivS.exe from the ZIP converts wrongly"

exit $status
