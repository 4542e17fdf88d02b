#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The source folders include only the folders before them (scripts/folder-includes):
# the tree passes, and a tree with one include against the order fails.
set -euo pipefail
root="$1"
python3 "$root/scripts/folder-includes" "$root"

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/app/device" "$tmp/app/tuning" "$tmp/gradctrls"
echo '#include <app/tuning/obddiagnostic.h>' > "$tmp/app/device/lpgdevice.h"
echo '#include <app/device/lpgdevice.h>' > "$tmp/app/tuning/obddiagnostic.h"
echo '#include <app/tuning/obddiagnostic.h>' > "$tmp/gradctrls/chart.h"
if python3 "$root/scripts/folder-includes" "$tmp" > "$tmp/out"; then
    echo "a device header including app/tuning was not caught" >&2
    exit 1
fi
grep -q '^app/device -> app/tuning (1)  NOT ALLOWED' "$tmp/out"
grep -q '^gradctrls -> app/tuning (1)  NOT ALLOWED' "$tmp/out"
if grep -q '^app/tuning -> app/device.*NOT ALLOWED' "$tmp/out"; then
    echo "an include along the order was refused" >&2
    exit 1
fi
