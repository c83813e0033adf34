# The tally every shell test keeps: source it, then pass, fail or check each
# case; the script ends on "$failed".
passed=0
failed=0
pass() { passed=$((passed + 1)); echo "ok   - $1"; }
fail() { failed=$((failed + 1)); echo "FAIL - $1"; }
check() { # check DESCRIPTION CONDITION...
    local what=$1
    shift
    if "$@"; then pass "$what"; else fail "$what"; fi
}
