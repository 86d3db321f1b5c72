#!/usr/bin/env bash
# The Debian package as a school's administrator uses it: built, checked by lintian (no
# errors, no warnings), installed with apt-get, its version and manual page asked for, the
# installed program started on a display of its own until its first frame, and purged again;
# the results folder stays. Needs root, as CI has.
#
#   tools/package-check.sh [BUILD_DIR]     (a build folder that `make build` has filled)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

(cd "$build" && cpack >/dev/null)
deb=$(ls -t "$PWD/$build"/vorlen_*.deb | head -n 1)
echo "package-check: $deb"
lintian --fail-on error,warning --tag-display-limit 0 "$deb"

had_results=no
[[ -d /var/lib/ZEDK ]] && had_results=yes
apt-get install -y -q "$deb" >/dev/null
# What an administrator tries first: the installed program's version and its manual page.
version=$(dpkg-deb -f "$deb" Version)
said=$(/usr/bin/vorlen --version)
manual=$(man -w vorlen 2>&1 || true)
if [[ $said != "vorlen $version" || $manual != /usr/share/man/man1/vorlen.1.gz ]]; then
    apt-get purge -y -q vorlen >/dev/null
    echo "package-check: vorlen --version said '$said' (the package is $version); man -w vorlen: $manual" >&2
    exit 1
fi
log=$(mktemp)
# The program runs until it is told to stop: it is stopped once its first frame is out.
# The build's probe says when the first frame is out (tests/support/first_frame_probe.cpp).
SDL_AUDIODRIVER=dummy timeout 20 tools/with-xvfb.sh env LD_PRELOAD="$PWD/$build/tests/first_frame_probe.so" \
    /usr/bin/vorlen >"$log" 2>&1 || true
started=no
grep -q "first frame" "$log" && started=yes
apt-get purge -y -q vorlen >/dev/null
if [[ $started != yes ]]; then
    echo "package-check: the installed program showed no first frame:" >&2
    cat "$log" >&2
    exit 1
fi
if [[ ! -d /var/lib/ZEDK || -e /usr/bin/vorlen ]]; then
    echo "package-check: after the purge the results folder must stay and the program must be gone" >&2
    exit 1
fi
# A developer's machine gets back the state it had.
[[ $had_results == no ]] && rmdir /var/lib/ZEDK 2>/dev/null || true
rm -f "$log"
echo "package-check: built, lintian-clean, installed, its version and manual page there, started, purged; the results folder stays"
