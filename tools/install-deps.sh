#!/usr/bin/env bash
# Installs the Debian packages listed in tools/debian-packages.txt that are not installed yet.
# Runs apt-get directly as root, through sudo when that works without a password prompt,
# and otherwise names the command to run and fails.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
list="${1:-$here/debian-packages.txt}"

mapfile -t wanted < <(sed -e 's/#.*//' -e 's/[[:space:]]//g' "$list" | grep -v '^$')

missing=()
for pkg in "${wanted[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$pkg")
done

((${#missing[@]} == 0)) && exit 0

echo "Installing missing packages: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
if [[ $(id -u) -eq 0 ]]; then
    run=()
elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
    run=(sudo -n env DEBIAN_FRONTEND=noninteractive)
else
    echo "error: these packages are missing and this user cannot install them:" >&2
    echo "    sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
    exit 1
fi

"${run[@]}" apt-get update -q </dev/null
"${run[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" </dev/null
