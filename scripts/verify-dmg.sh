#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
# SPDX-License-Identifier: MIT
# Checks a release .dmg on macOS: its own signature, and the bundle inside it
# (every nested binary signed, nothing changed since). With a Developer ID
# signature it also asks Gatekeeper.
#   scripts/verify-dmg.sh MotionTemplateInstaller-VERSION.dmg
set -euo pipefail
if (($# != 1)); then
    echo "usage: $0 IMAGE.dmg" >&2
    exit 2
fi
dmg=$1
[[ -f "$dmg" ]] || { echo "verify-dmg.sh: no such image: $dmg" >&2; exit 2; }
[[ "$(uname -s)" == "Darwin" ]] || { echo "verify-dmg.sh: needs macOS (hdiutil, codesign)" >&2; exit 2; }

codesign --verify --strict --verbose=2 "$dmg"
mountpoint=$(mktemp -d)
trap 'hdiutil detach -quiet "$mountpoint" 2>/dev/null || true; rmdir "$mountpoint"' EXIT
hdiutil attach -nobrowse -readonly -quiet -mountpoint "$mountpoint" "$dmg"
app="$mountpoint/Motion Template Installer.app"
[[ -d "$app" ]] || { echo "verify-dmg.sh: no Motion Template Installer.app in $dmg" >&2; exit 1; }
[[ -L "$mountpoint/Applications" ]] || { echo "verify-dmg.sh: no link to /Applications in $dmg" >&2; exit 1; }
codesign --verify --deep --strict --verbose=2 "$app"
codesign --verify --strict --verbose=2 "$app/Contents/MacOS/mtzip"
# The bundled mtzip runs from the image, with the bundle's frameworks.
"$app/Contents/MacOS/mtzip" --version
# Read whole, so that no early exit of grep fails the pipe under pipefail.
signature=$(codesign -dv "$app" 2>&1)
if [[ "$signature" == *$'\n'"Authority=Developer ID Application"* ]]; then
    spctl --assess --type execute --verbose=2 "$app"
    xcrun stapler validate "$dmg"
fi
echo "verify-dmg.sh: $dmg is good"
