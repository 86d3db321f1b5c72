#!/usr/bin/env bash
# Fails when a source file includes a header of a layer above its own, or when code outside
# platform/ includes a system library that only the platform layer may use.
# Layers, lowest first; a layer may include its own headers and those of the layers before it.
set -euo pipefail
root="${1:-$(cd "$(dirname "$0")/.." && pwd)}"
layers=(platform core sound engine gui views widgets app)
status=0

rank() {
    local i
    for i in "${!layers[@]}"; do
        [[ "${layers[$i]}" == "$1" ]] && { echo "$i"; return; }
    done
    echo -1
}

for layer in "${layers[@]}"; do
    dir="$root/$layer"
    [[ -d "$dir" ]] || continue
    own=$(rank "$layer")
    while IFS= read -r hit; do
        file=${hit%%:*}
        rest=${hit#*:}
        line=${rest%%:*}
        target=$(sed -E 's/.*#[[:space:]]*include[[:space:]]*"([^/"]+)\/.*/\1/' <<<"$rest")
        theirs=$(rank "$target")
        if (( theirs > own )); then
            echo "${file#$root/}:$line: $layer includes $target, a layer above it"
            status=1
        fi
    done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^/"]+/' "$dir" --include='*.h' --include='*.cpp' || true)
    if [[ "$layer" != platform ]]; then
        if grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<(SDL2?/|SDL\.h|X11/|ft2build\.h|freetype/|fontconfig/|cups/|cairo)' \
                "$dir" --include='*.h' --include='*.cpp'; then
            echo "^ $layer includes a system library that only platform/ may use"
            status=1
        fi
    fi
done
[[ $status == 0 ]] && echo "layers: every include points down"
exit $status
