#!/usr/bin/env bash
# Includes point down: a file in one layer of src/ includes only from its own
# layer and the ones below it (platform < import < formats < render < app < cli),
# always through the layer's folder ("platform/Math.h"). Prints every include
# that breaks the rule and fails; then makes sure the check itself still
# catches one.
# Usage: include_direction_test.sh SRC_DIR
set -u

layers=(platform import formats render app cli)

# check SRC: prints the offending lines as FILE:LINE: reason; false when any.
check() {
    local src=$1 rank=0 layer bad=0
    for layer in "${layers[@]}"; do
        rank=$((rank + 1))
        [[ -d $src/$layer ]] || continue
        # Every quoted include in the layer, as FILE:LINE:TARGET.
        while IFS= read -r hit; do
            local where=${hit%:*} target=${hit##*:} top
            top=${target%%/*}
            if [[ $target != */* ]]; then
                echo "$where: \"$target\" is not named from src/ (layer/File.h)"
                bad=1
                continue
            fi
            local i found=0
            for ((i = 0; i < ${#layers[@]}; i++)); do
                if [[ ${layers[i]} == "$top" ]]; then
                    found=1
                    if ((i + 1 > rank)); then
                        echo "$where: $layer includes \"$target\" from $top, a layer above it"
                        bad=1
                    fi
                fi
            done
            if ((found == 0)); then
                echo "$where: \"$target\" is in no layer of src/"
                bad=1
            fi
        done < <(grep -rnoE --include='*.h' --include='*.cpp' '^[[:space:]]*#[[:space:]]*include[[:space:]]+"[^"]+"' "$src/$layer" |
            sed -E 's/^([^:]+:[0-9]+):.*"([^"]+)"$/\1:\2/')
    done
    return $bad
}

src=${1:?usage: include_direction_test.sh SRC_DIR}
failed=0
if check "$src"; then
    echo "ok   - every include in $src points down"
else
    echo "FAIL - includes that point up or sideways (above)"
    failed=1
fi

# The check must still see an upward include, a bare one and an unknown one.
work=$(mktemp -d "${TMPDIR:-/tmp}/veskar-includes.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/import" "$work/formats"
printf '#include "formats/Writer.h"\n' >"$work/import/Reader.cpp"
printf '#include "import/Reader.h"\n#include "Local.h"\n  #  include "tools/Other.h"\n' >"$work/formats/Writer.cpp"
report=$(check "$work")
if [[ $(grep -c . <<<"$report") == 3 ]] && grep -q 'import/Reader.cpp:1: import includes "formats/Writer.h"' <<<"$report"; then
    echo "ok   - an upward include, a bare one and one from no layer are reported"
else
    echo "FAIL - the check missed a planted include; it reported:"
    echo "$report"
    failed=1
fi
exit $failed
