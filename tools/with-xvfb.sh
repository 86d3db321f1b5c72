#!/usr/bin/env bash
# Runs a command on a fresh Xvfb display of its own (1024 x 768, or VORLEN_XVFB_SCREEN such as
# 800x600x24; no window manager), with SDL told to use it; the display goes away with the command.
set -euo pipefail
for n in $(seq 90 130); do
    [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] && continue
    Xvfb ":$n" -screen 0 "${VORLEN_XVFB_SCREEN:-1024x768x24}" -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    trap 'kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null || true' EXIT
    for _ in $(seq 100); do
        [[ -e /tmp/.X11-unix/X$n ]] && break
        sleep 0.05
    done
    if [[ -e /tmp/.X11-unix/X$n ]]; then
        DISPLAY=":$n" SDL_VIDEODRIVER=x11 "$@"
        exit $?
    fi
    kill $xvfb 2>/dev/null || true
    trap - EXIT
done
echo "with-xvfb: no free display for Xvfb" >&2
exit 1
