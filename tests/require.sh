# Sourced by the test scripts: a missing tool skips the test (exit code 77,
# CTest's SKIP_RETURN_CODE) and fails it under CI, where scripts/check
# installs every tool.

in_ci() { [ -n "${CI:-}" ] && [ "$CI" != false ] && [ "$CI" != 0 ]; }

missing_tool() {  # missing_tool WHAT PACKAGE
  if in_ci; then
    echo "$1 is missing (Debian package $2); scripts/check installs it"
    exit 1
  fi
  echo "$1 not found: install the Debian package $2 to run this test"
  exit 77
}

require_command() {  # require_command COMMAND PACKAGE
  command -v "$1" >/dev/null 2>&1 || missing_tool "$1" "$2"
}

require_file() {  # require_file PATH PACKAGE
  [ -e "$1" ] || missing_tool "$1" "$2"
}

# Gives the script an empty folder $scratch, removed when it exits, and
# fail, which reports a mismatch and lets the script go on but end with
# status 1 (exit $status).
use_scratch() {  # use_scratch NAME
  scratch=$(mktemp -d "${TMPDIR:-/tmp}/kiv-$1-XXXXXX") || exit 1
  trap 'rm -rf "$scratch"' EXIT
  status=0
}
fail() { echo "$*"; status=1; }
