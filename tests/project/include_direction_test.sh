#!/usr/bin/env bash
# Includes point down: a file in a folder of src/ includes only from its own
# folder and the folders that docs/architecture.md's include table allows it,
# always through the folder's name ("base/Math.h"). Prints every include that
# breaks the rule and fails; then makes sure the check itself still catches one.
# Usage: include_direction_test.sh SRC_DIR ARCHITECTURE_MD
set -u

src=${1:?usage: include_direction_test.sh SRC_DIR ARCHITECTURE_MD}
doc=${2:?usage: include_direction_test.sh SRC_DIR ARCHITECTURE_MD}

declare -A allowed
# read_table FILE: the rows between the table's two markers, "| folder | a, b |".
read_table() {
    local inside=0 line folder deps
    while IFS= read -r line; do
        [[ $line == '<!-- the include table'* ]] && { inside=1; continue; }
        [[ $line == '<!-- end of the include table'* ]] && break
        ((inside)) || continue
        [[ $line =~ ^\|\ *([a-z0-9_]+)\ *\|([^|]*)\| ]] || continue
        folder=${BASH_REMATCH[1]}
        [[ $folder == folder ]] && continue
        deps=${BASH_REMATCH[2]//,/ }
        allowed[$folder]=" $folder $(echo $deps) "
    done <"$1"
}

# check SRC: prints the offending lines as FILE:LINE: reason; false when any.
check() {
    local src=$1 bad=0 dir folder
    for dir in "$src"/*/; do
        folder=$(basename "$dir")
        if [[ -z ${allowed[$folder]+x} ]]; then
            echo "$src/$folder: a folder the include table does not name"
            bad=1
            continue
        fi
        while IFS= read -r hit; do
            local where=${hit%:*} target=${hit##*:} top
            top=${target%%/*}
            if [[ $target != */* ]]; then
                echo "$where: \"$target\" is not named from src/ (folder/File.h)"
                bad=1
            elif [[ -z ${allowed[$top]+x} ]]; then
                echo "$where: \"$target\" is in no folder of src/"
                bad=1
            elif [[ ${allowed[$folder]} != *" $top "* ]]; then
                echo "$where: $folder includes \"$target\" from $top, which its row does not allow"
                bad=1
            fi
        done < <(grep -rnoE --include='*.h' --include='*.cpp' '^[[:space:]]*#[[:space:]]*include[[:space:]]+"[^"]+"' "$dir" |
            sed -E 's/^([^:]+:[0-9]+):.*"([^"]+)"$/\1:\2/')
    done
    return $bad
}

read_table "$doc"
if ((${#allowed[@]} < 2)); then
    echo "FAIL - no include table found in $doc"
    exit 1
fi

failed=0
if check "$src"; then
    echo "ok   - every include in $src follows the table (${#allowed[@]} folders)"
else
    echo "FAIL - includes the table does not allow (above)"
    failed=1
fi

# The check must still see an include against the table, a bare one, one from
# no folder and a folder the table does not name.
work=$(mktemp -d "${TMPDIR:-/tmp}/veskar-includes.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/import" "$work/mref" "$work/stray"
printf '#include "mref/Writer.h"\n' >"$work/import/Reader.cpp"
printf '#include "import/Reader.h"\n#include "Local.h"\n  #  include "tools/Other.h"\n' >"$work/mref/Writer.cpp"
report=$(check "$work")
if [[ $(grep -c . <<<"$report") == 4 ]] && grep -q 'import/Reader.cpp:1: import includes "mref/Writer.h"' <<<"$report"; then
    echo "ok   - a forbidden include, a bare one, one from no folder and an unnamed folder are reported"
else
    echo "FAIL - the check missed a planted include; it reported:"
    echo "$report"
    failed=1
fi
exit $failed
