# Bookkeeping shared by the shell-driven tests: one PASS/FAIL line per check
# and a closing "NAME: N passed, M failed" line. Source it; it sets no options.

passed=0
failed=0
pass() {
  echo "PASS: $1"
  passed=$((passed + 1))
}
fail() {
  echo "FAIL: $1${2:+ ($2)}"
  failed=$((failed + 1))
}
check() { # check WHAT COMMAND...: passes when the command succeeds
  local what=$1
  shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}
# report NAME STATUS: the closing line, then exit 0 only when every check passed.
# STATUS is the script's own exit status: a run that ended early counts as a failure.
report() {
  [ "$2" -ne 0 ] && [ "$failed" -eq 0 ] && fail "the run ended early" "status $2"
  echo "$1: $passed passed, $failed failed"
  [ "$failed" -eq 0 ] && exit 0
  exit 1
}
