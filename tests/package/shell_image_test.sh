#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Pages read the settings image; they change it only through the device's named
# calls (changeImage, setCarInfo) and the write path, never through liveImage().
set -euo pipefail
root="$1"
if grep -rn --include='*.cpp' --include='*.h' 'liveImage *(' "$root/app/shell"; then
    echo "app/shell reaches the live image directly (above)" >&2
    exit 1
fi
