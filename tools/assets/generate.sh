#!/usr/bin/env bash
# Regenerates every picture, sound and film under data/ from the sources in this folder,
# and writes review sheets to build/assets/ (contact_sheet.png, film_frames.png,
# voice_report.txt). Installs the Debian packages it needs when they are missing.
#
# Everything is made in a scratch folder first and checked there; data/ and voice.txt are
# replaced only when every step and the media check have passed, so a failed run leaves the
# committed media as they were.
#
# Usage: tools/assets/generate.sh [--no-install]
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
data="$root/data"
build="$root/build/assets"

if [[ "${1:-}" != "--no-install" ]]; then
    "$root/tools/install-deps.sh" "$here/debian-packages.txt"
fi

# Debian's own interpreter: it is the one that sees python3-pil and python3-cairo.
py=/usr/bin/python3
export PYTHONDONTWRITEBYTECODE=1
export SOURCE_DATE_EPOCH=0
mkdir -p "$build"

stage="$(mktemp -d "$build/stage.XXXXXX")"
trap 'rm -rf "$stage"' EXIT
new="$stage/data"
mkdir -p "$new"

echo "assets: films"
"$py" "$here/films.py" "$new" "$stage"
echo "assets: pictures"
"$py" "$here/make_pictures.py" "$new" "$stage/contact_sheet.png" "$stage/films"
echo "assets: speech and sounds"
"$py" "$here/speech.py" "$new" "$stage"

echo "assets: checking"
"$py" "$root/tests/data/check_media.py" --decode "$new"

# every step passed: put the new media in place, one folder at a time, and the review sheets
for part in rc skin named; do
    rm -rf "${data:?}/$part.old"
    if [[ -d "$data/$part" ]]; then mv "$data/$part" "$data/$part.old"; fi
    mv "$new/$part" "$data/$part"
    rm -rf "${data:?}/$part.old"
done
mv "$stage/voice.txt" "$here/voice.txt"
rm -rf "$build/films" "$build/speech"
for review in contact_sheet.png film_frames.png voice_report.txt films speech; do
    mv "$stage/$review" "$build/$review"
done
echo "assets: $(du -sh "$data" | cut -f1) in $data; review sheets in $build"
