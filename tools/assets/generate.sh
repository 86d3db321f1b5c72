#!/usr/bin/env bash
# Regenerates every picture, sound and film under data/ from the sources in this folder,
# and writes review sheets to build/assets/ (contact_sheet.png, film_frames.png,
# voice_report.txt). Installs the Debian packages it needs when they are missing.
#
# Usage: tools/assets/generate.sh [--no-install]
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
data="$root/data"
build="$root/build/assets"

packages=(python3 python3-pil python3-cairo fonts-dejavu-core festival festvox-ru espeak-ng
          sox vorbis-tools ffmpeg)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})) && [[ "${1:-}" != "--no-install" ]]; then
    echo "assets: installing ${missing[*]}"
    if [[ $(id -u) -eq 0 ]]; then
        apt_get=(apt-get)
    elif command -v sudo >/dev/null; then
        apt_get=(sudo apt-get)
    else
        echo "assets: please install these Debian packages first: ${missing[*]}" >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    "${apt_get[@]}" update -q >/dev/null || true
    "${apt_get[@]}" install -y -q --no-install-recommends "${missing[@]}" >/dev/null
fi

# Debian's own interpreter: it is the one that sees python3-pil and python3-cairo.
py=/usr/bin/python3
export PYTHONDONTWRITEBYTECODE=1
export SOURCE_DATE_EPOCH=0
mkdir -p "$build"

echo "assets: pictures"
rm -rf "$data/rc" "$data/skin" "$data/named"
"$py" "$here/make_pictures.py" "$data" "$build/contact_sheet.png"
echo "assets: speech and sounds"
"$py" "$here/speech.py" "$data" "$build"
echo "assets: films"
"$py" "$here/films.py" "$data" "$build"

echo "assets: checking"
"$py" "$root/tests/data/check_media.py" "$data"
echo "assets: $(du -sh "$data" | cut -f1) in $data; review sheets in $build"
