#!/usr/bin/env bash
# Fails when the manual page makes groff or man warn on any device man renders it for (lintian
# reads it as man does in a UTF-8 locale), when man's index cannot read its name line, or when
# an option the program's --help lists is missing from it.
#
#   tools/check-manual-page.sh PAGE [PROGRAM]
set -euo pipefail
page=$1
program=${2:-}

said=$(
    for device in utf8 ascii latin1 ps; do groff -ww -z -man -T"$device" "$page" 2>&1; done
    LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null
)
if [[ -n $said ]]; then
    echo "manual page: warnings from groff or man:" >&2
    echo "$said" >&2
    exit 1
fi
if ! lexgrog "$page" >/dev/null; then
    echo "manual page: man's index finds no name line in $page" >&2
    exit 1
fi

if [[ -n $program ]]; then
    text=$(groff -man -Tascii -P-cbou "$page" 2>/dev/null)
    usage=$("$program" --help)
    missing=()
    for option in $(grep -oE -- '(^| )--?[A-Za-z][A-Za-z-]*' <<<"$usage" | sort -u); do
        grep -qF -- "$option" <<<"$text" || missing+=("$option")
    done
    if ((${#missing[@]} > 0)); then
        echo "manual page: options of --help that it does not describe: ${missing[*]}" >&2
        exit 1
    fi
fi
echo "manual page: renders without warnings and describes every option"
