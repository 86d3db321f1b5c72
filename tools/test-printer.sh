#!/usr/bin/env bash
# Makes the PDF printer that the printing test prints on: starts the CUPS scheduler when it is
# not running (nothing else is touched when it is) and adds the queue "VorlenTestPDF", whose
# jobs cups-pdf writes into the submitting user's ~/PDF. Needs cups and
# printer-driver-cups-pdf (tools/debian-packages.txt) and root, as CI has.
set -euo pipefail

queue=VorlenTestPDF
ppd=/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd

if ! command -v cupsd >/dev/null || [[ ! -f $ppd ]]; then
    echo "test-printer: cups or printer-driver-cups-pdf is not installed" >&2
    exit 1
fi
running() { [[ $(lpstat -r 2>/dev/null) == "scheduler is running" ]]; }

if ! running; then
    # In the foreground of a session of its own: cupsd's own daemon mode does not come up in a
    # container without an init system.
    setsid cupsd -f </dev/null >/dev/null 2>&1 &
    for _ in $(seq 50); do
        running && break
        sleep 0.1
    done
fi
if ! running; then
    echo "test-printer: the CUPS scheduler could not be started" >&2
    exit 1
fi
if ! lpstat -p "$queue" >/dev/null 2>&1; then
    lpadmin -p "$queue" -v cups-pdf:/ -E -P "$ppd"
fi
cupsenable "$queue" 2>/dev/null || true
cupsaccept "$queue" 2>/dev/null || true
echo "test-printer: $queue is ready"
