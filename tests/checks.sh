# The tally every shell test keeps: source it, then pass, fail or check each
# case; the script ends on "$failed".
passed=0
failed=0
pass() { passed=$((passed + 1)); echo "ok   - $1"; }
fail() { failed=$((failed + 1)); echo "FAIL - $1"; }
# require_tools PACKAGES TOOL...: the script skips (status 0) when a tool is missing.
require_tools() {
    local packages=$1 tool
    shift
    for tool in "$@"; do
        if ! command -v "$tool" >/dev/null 2>&1; then
            echo "SKIP: $tool is not installed ($packages)"
            exit 0
        fi
    done
}
check() { # check DESCRIPTION CONDITION...
    local what=$1
    shift
    if "$@"; then pass "$what"; else fail "$what"; fi
}
