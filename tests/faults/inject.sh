#!/usr/bin/env bash
# Makes every system call of the data path fail once, one at a time, with
# strace's fault injection, for a handful of representative runs. Each
# injected run must either report the failure of the stream the call
# served (exit code and message) or, where the failure does no harm,
# produce exactly what the clean run produced. It must never end with 0
# and other output, change the source, leave a half-written target,
# crash or hang.
# Usage: inject.sh BIN_DIR
set -u
bin=$(cd "$1" && pwd) || exit 1

# Without strace the suite is skipped (77), except under CI.
cannot_run() {
  echo "$*"
  [ -n "${CI:-}" ] && [ "$CI" != false ] && [ "$CI" != 0 ] && exit 1
  exit 77
}
command -v strace >/dev/null 2>&1 ||
  cannot_run "strace is missing (Debian package strace); scripts/check installs it"
strace -qq -o /dev/null true 2>/dev/null ||
  cannot_run "strace cannot trace here (ptrace not permitted)"

work=$(mktemp -d "${TMPDIR:-/tmp}/kiv-faults-XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
printf 'Zeile "eins"\t50%%\n<b>zwei</b>  \r\nletzte' > "$work/small.txt"
# big.txt: 5 MiB, so that the output is written on a thread of its own.
awk 'BEGIN { while (n < 5242880) { s = sprintf("Zeile %d: \"x\"\t<i>%%</i> \\ \n", n); printf "%s", s; n += length(s) } }' \
  > "$work/big.txt"

# The calls to fail, each with the errors it is made to return.
calls="read:EIO,EBADF,ENOMEM write:EIO,ENOSPC,EBADF openat:EACCES,ENOSPC,ENOMEM
close:EIO,EBADF newfstatat:EACCES,ENOMEM,EBADF fcntl:EBADF,ENOMEM
ftruncate:EIO,EACCES poll:ENOMEM"
traced=read,write,openat,close,newfstatat,fcntl,ftruncate,poll

# The runs: name, source ("-": standard input from it), target ("-":
# standard output), program and options. The source is a copy of
# small.txt or big.txt named src.txt; "same" names it ./src.txt as target.
scenarios="small src.txt out.txt Kiv -z
big src.txt out.txt Kiv -C
stdin - out.txt Kiv -z
stdout src.txt - Kiv -z
pipes - - Kiv -J
frame src.txt out.c Kiv -C -Du
kivs - - KivS -S -D
same src.txt ./src.txt Kiv -z"

# The message of an exit code for the scenario's source and target.
message() {
  case $1 in
    2) printf '\n Quell- und Zieldateiname %s sind identisch.\n' "$source" ;;
    3) printf ' Quelldatei %s existiert nicht.\n' "$source" ;;
    5) printf ' Zieldatei %s kann nicht geschrieben werden.\n' "$target" ;;
    6) printf ' Quelldatei %s kann nicht gelesen werden.\n' "$source" ;;
  esac
}

failures=0
runs=0
fail() {
  echo "FAIL $*"
  failures=$((failures + 1))
}

# True when file $1 is a prefix of file $2.
is_prefix() {
  local size
  size=$(stat -c %s "$1")
  cmp -s -n "$size" "$1" "$2" && [ "$size" -le "$(stat -c %s "$2")" ]
}

# run DIR TRACE-ARGS...: runs the scenario's command in DIR under strace,
# with standard input and output as the scenario has them; sets $code.
run() {
  local dir=$1
  shift
  rm -f "$dir/out.txt" "$dir/out.c" "$dir/stdout"
  cp "$work/$text" "$dir/src.txt"
  local argv=("$bin/$program")
  [ "$program" = KivS ] || argv+=("$source" "$target")
  argv+=($options)
  local input=/dev/null
  [ "$source" = - ] && input=src.txt
  (cd "$dir" && timeout 20 strace -f -qq "$@" "${argv[@]}" <"$input" >stdout 2>/dev/null)
  code=$?
}

# The role of the call on a line of a trace: source, target or other,
# from the descriptor or path it names.
role_of() {
  local call=$1 line=$2 arg
  arg=${line#*"$call("}
  arg=${arg%%[,)]*}
  if [ "$call" = openat ]; then
    arg=$(sed -E 's/^[^"]*"([^"]*)".*/\1/' <<<"$line")
    [ "$arg" = "$source" ] && { echo source; return; }
    [ "$arg" = "$target" ] && { echo target; return; }
    echo other
    return
  fi
  # A probe of a standard descriptor (F_GETFD) only counts when it says
  # the descriptor is closed.
  if [[ $line == *F_GETFD* ]] && [ "$error" != EBADF ]; then
    echo other
    return
  fi
  [ "$arg" = "$source_fd" ] && { echo source; return; }
  [ "$arg" = "$target_fd" ] && { echo target; return; }
  echo other
}

# The role of the Nth call of a kind in the clean trace.
role() {
  role_of "$1" "$(grep -E "^[0-9]+ +$1\(" "$dir/trace" | sed -n "${2}p")"
}

# The calls of a kind that the injection failed, from the injected run's
# trace: a call that another thread interrupted is the line it began on.
injected_calls() {
  awk -v call="$1" '
    $2 ~ "^" call "\\(" && /<unfinished \.\.\.>$/ { begun[$1] = $0; next }
    /\(INJECTED\)/ { print ($2 ~ /^<\.\.\./ ? begun[$1] : $0) }
  ' "$dir/injected"
}

# strace counts the calls of each thread on its own (the output may be
# written by a thread of its own): the Nth call of a kind in the clean
# trace is call number K of its thread, and injecting at K fails call K of
# every thread. Prints K. Which thread makes which call can differ from
# run to run (the writing thread takes over once it runs), so what a run
# must give follows from the calls its own trace shows failed.
thread_call() {
  grep -E "^[0-9]+ +$1\(" "$dir/trace" | awk -v n="$2" '
    { index_in[NR] = ++seen[$1] }
    END { print index_in[n] }'
}

while read -r name source target program options; do
  case $name in big) text=big.txt ;; *) text=small.txt ;; esac
  [ "$program" = KivS ] && { source=-; target=-; }
  dir=$work/$name
  mkdir -p "$dir"
  out_name=$target
  [ "$target" = - ] && out_name=stdout
  [ "$name" = same ] && out_name=

  run "$dir" -o "$dir/trace" -e trace=$traced
  clean_code=$code
  cp "$dir/stdout" "$work/$name.stdout"
  if [ -n "$out_name" ] && [ "$out_name" != stdout ]; then
    cp "$dir/$out_name" "$work/$name.target" || fail "$name: clean run wrote no target"
  fi
  wanted_code=0
  [ "$name" = same ] && wanted_code=2
  [ "$clean_code" -eq "$wanted_code" ] || fail "$name: clean run exited with $clean_code"
  source_fd=0
  [ "$source" = - ] ||
    source_fd=$(grep -E "^[0-9]+ +openat\(AT_FDCWD, \"$source\"" "$dir/trace" | sed -E 's/.*= ([0-9]+)$/\1/' | tail -1)
  target_fd=1
  [ "$target" = - ] ||
    target_fd=$(grep -E "^[0-9]+ +openat\(AT_FDCWD, \"${target//./\\.}\"" "$dir/trace" | sed -nE 's/.*= ([0-9]+)$/\1/p' | tail -1)

  # The input's last fstat before its first read only asks whether it is
  # a regular file, to spare a poll per block: where it fails, the input
  # is polled instead, and the run gives what the clean one gave.
  probe=$(awk -v fd="$source_fd" '
    $2 ~ /^newfstatat\(/ { ++stats; if (index($2, "newfstatat(" fd ",") == 1) last = stats }
    index($2, "read(" fd ",") == 1 { print last + 0; exit }' "$dir/trace")

  for entry in $calls; do
    call=${entry%%:*}
    errors=${entry#*:}
    count=$(grep -cE "^[0-9]+ +$call\(" "$dir/trace")
    for ((n = 1; n <= count; n++)); do
      k=$(thread_call "$call" "$n")
      for error in ${errors//,/ }; do
        what=$(role "$call" "$n")
        label="$name: $call #$n ($what) $error"
        run "$dir" -o "$dir/injected" -e trace=$call -e inject=$call:error=$error:when=$k
        runs=$((runs + 1))
        roles=" "
        while IFS= read -r line; do
          roles+="$(role_of "$call" "$line") "
        done < <(injected_calls "$call")
        # The failure may also have hit the write of the message.
        message_hit=false
        grep -E "^[0-9]+ +write\(1, \"(\\\\n)? Q|^[0-9]+ +write\(1, \" Z" "$dir/injected" | grep -q INJECTED &&
          message_hit=true
        cmp -s "$dir/src.txt" "$work/$text" || fail "$label: the source changed"
        if [ "$code" -ge 124 ]; then
          fail "$label: exit $code (hang or crash)"
          continue
        fi
        message "$code" > "$dir/message"
        # One name for source and target: a refusal (whose message is left
        # out when standard output cannot be identified) or a reported
        # failure, but never more.
        if [ "$name" = same ]; then
          case $code in
            2 | 3 | 5 | 6)
              cmp -s "$dir/stdout" "$dir/message" || { [ "$code" -eq 2 ] && [ ! -s "$dir/stdout" ]; } ||
                fail "$label: exit $code with other output" ;;
            *) fail "$label: exit $code" ;;
          esac
          continue
        fi
        # What the failure of this call must give.
        expected=$clean_code
        if [ "$call" = newfstatat ] && [ "$n" = "$probe" ]; then
          expected=$clean_code
        elif [[ $roles == *" source "* ]] && [ "$call" != close ] && [ "$call" != poll ]; then
          expected=6
          [ "$call" = openat ] && expected=3
        elif [[ $roles == *" target "* ]] && [ "$call" != poll ]; then
          expected=5
        fi
        if [ "$code" -ne "$expected" ]; then
          fail "$label: exit $code, wanted $expected"
        elif [ "$code" -eq 0 ]; then
          cmp -s "$dir/stdout" "$work/$name.stdout" || fail "$label: exit 0 with other output"
          [ "$out_name" = stdout ] || cmp -s "$dir/$out_name" "$work/$name.target" ||
            fail "$label: exit 0 with another target"
        elif [ "$target" != - ] || [ "$code" -eq 3 ]; then
          cmp -s "$dir/stdout" "$dir/message" || $message_hit || fail "$label: exit $code without its message"
          [ "$out_name" = stdout ] || [ ! -e "$dir/$out_name" ] ||
            fail "$label: exit $code left the target $out_name"
        else
          # Standard output as the target holds a piece of the clean output,
          # then the message if it could still go out (a read failure
          # leaves it able to).
          size=$(wc -c <"$dir/message")
          head -c -"$size" "$dir/stdout" > "$dir/before"
          if tail -c "$size" "$dir/stdout" | cmp -s - "$dir/message"; then
            is_prefix "$dir/before" "$work/$name.stdout" || fail "$label: output before the message is no part of the clean output"
          elif [ "$code" -eq 6 ] && ! $message_hit; then
            fail "$label: exit 6 without its message"
          else
            is_prefix "$dir/stdout" "$work/$name.stdout" || fail "$label: output is no part of the clean output"
          fi
        fi
      done
    done
  done
done <<<"$scenarios"

echo "$runs injected runs, $failures failures"
[ "$failures" -eq 0 ]
