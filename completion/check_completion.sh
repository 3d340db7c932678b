#!/usr/bin/env bash
# Checks the shell completions against the option table of options.cpp:
# bash and zsh offer exactly its options after a hyphen, and file names
# otherwise (none for KivS); the zsh file loads, is registered for Kiv and
# KivS, and a real zsh on a terminal lists its descriptions as written.
# Usage: check_completion.sh SOURCE_DIR
source_dir=$1
. "$source_dir/tests/require.sh"
require_file /usr/share/bash-completion/bash_completion bash-completion
require_command zsh zsh

use_scratch completion

table=$(sed -n 's/^ *{"\(-[^"]*\)",.*/\1/p' "$source_dir/options/options.cpp" | sort)
[ "$(echo "$table" | wc -l)" -eq 27 ] ||
  fail "expected 27 rows in the option table, read: $(echo $table)"

cd "$scratch" && touch -- 'a b.txt' -x.txt && mkdir ordner || exit 1

# bash: what _kiv offers for the last word of a command line.
. /usr/share/bash-completion/bash_completion
. "$source_dir/completion/Kiv.bash"
offered() {  # offered WORD...
  COMP_WORDS=("$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE="${COMP_WORDS[*]}"
  COMP_POINT=${#COMP_LINE}
  COMPREPLY=()
  _kiv
  printf '%s\n' "${COMPREPLY[@]}" | sort
}
for program in Kiv KivS; do
  complete -p "$program" 2>/dev/null | grep -q -- '-F _kiv' ||
    fail "bash: no completion registered for $program"
  [ "$(offered "$program" -C -)" = "$table" ] ||
    fail "bash: $program - offers: $(echo $(offered "$program" -C -))"
done
[ "$(echo $(offered Kiv -D))" = "-D -Du" ] || fail "bash: -D offers: $(echo $(offered Kiv -D))"
[ "$(echo $(offered Kiv -s))" = "-sk -sr -ss -st" ] ||
  fail "bash: -s offers: $(echo $(offered Kiv -s))"
[ "$(offered Kiv -C a)" = "a b.txt" ] || fail "bash: a offers: $(offered Kiv -C a)"
[ "$(offered Kiv -x)" = "-x.txt" ] || fail "bash: -x offers: $(offered Kiv -x)"
[ -z "$(offered KivS -C a)" ] || fail "bash: KivS a offers: $(offered KivS -C a)"
[ -z "$(offered /usr/bin/KivS -x)" ] || fail "bash: KivS -x offers: $(offered /usr/bin/KivS -x)"
[ "$(offered Kiv in.txt o)" = "ordner" ] || fail "bash: o offers: $(offered Kiv in.txt o)"

# zsh: compinit registers _Kiv for both programs; called with stand-ins for
# _describe and _files, it shows what it would offer.
zsh_out=$(zsh -f 2>&1 <<ZSH
fpath=("$source_dir/completion" \$fpath)
autoload -Uz compinit && compinit -u -d "$scratch/zcompdump" || exit 1
print -r -- "Kiv=\${_comps[Kiv]} KivS=\${_comps[KivS]}"
autoload +X _Kiv || exit 1
_describe() { local item; for item in "\${(@P)\${@[-1]}}"; do print -r -- "\${item%%:*}"; done; }
_files() { print -r -- "(files)"; }
PREFIX=- _Kiv
print -r -- "--- other"
service=Kiv PREFIX=a _Kiv
print -r -- "--- KivS"
service=KivS PREFIX=a _Kiv
ZSH
)
echo "$zsh_out" | sed -n 1p | grep -qx 'Kiv=_Kiv KivS=_Kiv' || fail "zsh: _Kiv is not registered"
[ "$(echo "$zsh_out" | sed '1d;/^--- other$/,$d' | sort)" = "$table" ] ||
  fail "zsh: - offers something else"
[ "$(echo "$zsh_out" | sed -n '/^--- other$/,/^--- KivS$/p')" = "$(printf -- '--- other\n(files)\n--- KivS')" ] ||
  fail "zsh: a word without - does not complete file names for Kiv"
[ "$(echo "$zsh_out" | sed -n '/^--- KivS$/,$p')" = "--- KivS" ] ||
  fail "zsh: KivS completes file names"
[ $status -eq 0 ] || printf 'zsh printed:\n%s\n' "$zsh_out"

# zsh: the descriptions as the real _describe lists them on a terminal
# (it takes a backslash as an escape), for Kiv - and two tabs.
listed=$(timeout 30 zsh -f 2>&1 <<ZSH | tr -d '\r'
zmodload zsh/zpty || exit 1
zpty kiv 'TERM=dumb PS1="> " zsh -f -i'
zpty -w kiv 'fpath=("$source_dir/completion" \$fpath); autoload -Uz compinit;
  compinit -u -d "$scratch/zcompdump-pty"; LISTMAX=1000 LINES=100 COLUMNS=200; unsetopt automenu'
zpty -w -n kiv \$'Kiv -\t\t'
all=
for i in {1..100}; do
  while zpty -r -t kiv line; do all+=\$line; done
  [[ \$all == *Zeilenumbruchzeichen* && \$all == *Tabulatorzeichen* &&
     \$all == *'Rueckstriche ('* ]] && break
  sleep 0.1
done
print -r -- "\$all"
zpty -d kiv
ZSH
)
for description in 'Zeilenumbruchzeichen durch die Zeichenfolge \n ersetzen' \
    'Tabulatorzeichen durch die Zeichenfolge \t ersetzen' 'Rueckstriche (\) mit einem Rueckstrich maskieren'; do
  echo "$listed" | grep -qF -- "-- $description" ||
    fail "zsh lists no \"$description\": $(echo "$listed" | grep -a -- ' -- ' | sed 's/ *$//' | head -5)"
done

exit $status
