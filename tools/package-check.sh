#!/usr/bin/env bash
# The Debian package as a school's administrator uses it: built, checked by lintian (no
# errors), installed with apt-get, the installed program started on a display of its own until
# its first frame, and purged again; the results folder stays. Needs root, as CI has.
#
#   tools/package-check.sh [BUILD_DIR]     (a build folder that `make build` has filled)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

(cd "$build" && cpack >/dev/null)
deb=$(ls -t "$PWD/$build"/vorlen_*.deb | head -n 1)
echo "package-check: $deb"
lintian --fail-on error --tag-display-limit 0 "$deb"

had_results=no
[[ -d /var/lib/ZEDK ]] && had_results=yes
apt-get install -y -q "$deb" >/dev/null
log=$(mktemp)
# The program runs until it is told to stop: it is stopped once its first frame is out.
VORLEN_STARTUP_TIMING=1 SDL_AUDIODRIVER=dummy timeout 20 tools/with-xvfb.sh /usr/bin/vorlen >"$log" 2>&1 || true
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
echo "package-check: built, lintian-clean, installed, started, purged; the results folder stays"
