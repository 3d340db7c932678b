#!/bin/sh
# Checks the manual page: groff renders it without a single warning, so
# does man for KivS.1 beside it, and it documents every option of the help
# screen and every exit code.
# Usage: check_page.sh PAGE KIV
page=$1
kiv=$2

if ! command -v groff >/dev/null 2>&1; then
  if [ -n "${CI:-}" ] && [ "$CI" != false ] && [ "$CI" != 0 ]; then
    echo "groff is missing (Debian package groff-base); scripts/check installs it"
    exit 1
  fi
  echo "groff not found: install groff-base to check the manual page"
  exit 77
fi

status=0
messages=$(groff -ww -z -man "$page" 2>&1)
if [ -n "$messages" ]; then
  echo "groff -ww -z -man $page warns:"
  echo "$messages"
  status=1
fi
if command -v man >/dev/null 2>&1; then
  messages=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
  if [ -n "$messages" ]; then
    echo "man -l $page warns:"
    echo "$messages"
    status=1
  fi
  # KivS.1 beside it shows the same page from the source tree (the
  # installed KivS.1 is a .so request, which only works installed).
  other=$(dirname "$page")/KivS.1
  messages=$(MANWIDTH=80 man --warnings -l "$other" 2>&1 >/dev/null)
  if [ -n "$messages" ] || ! MANWIDTH=80 man -l "$other" 2>/dev/null | grep -q 'Zeichenkettenliterale'; then
    echo "man -l $other does not show the page:"
    echo "$messages"
    status=1
  fi
fi

for section in NAME SYNOPSIS BESCHREIBUNG OPTIONEN EXIT-STATUS BEISPIELE GRENZEN; do
  grep -qx "\.SH $section" "$page" || { echo "section $section is missing"; status=1; }
done

# Every option line of the help screen ("  -x<TAB>...") has its entry.
options=$("$kiv" | sed -n 's/^  \(-[^	]*\)	.*/\1/p')
[ -n "$options" ] || { echo "no options found in the help screen of $kiv"; status=1; }
for option in $options; do
  escaped=$(printf '%s' "$option" | sed 's/^-/\\\\-/')
  grep -qx "\.B $escaped" "$page" || { echo "option $option is not documented"; status=1; }
done

# The exit codes 0 to 6, in order, each as its own entry.
codes=$(sed -n '/^\.SH EXIT-STATUS/,/^\.SH /s/^\.B \([0-9]\)$/\1/p' "$page" | tr -d '\n')
[ "$codes" = 0123456 ] || { echo "exit codes documented: '$codes', wanted 0123456"; status=1; }

exit $status
