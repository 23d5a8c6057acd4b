#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
# SPDX-License-Identifier: MIT
# Installs what building, running and testing need, from the system's packages.
# Debian/Ubuntu: apt-get. macOS: Homebrew.
set -euo pipefail

if [[ "$(uname -s)" == "Darwin" ]]; then
    command -v brew >/dev/null || { echo "Homebrew is needed: https://brew.sh" >&2; exit 1; }
    # Homebrew's qt carries the Linguist tools and Qt's translations.
    # librsvg's rsvg-convert renders the icons.
    brew install cmake ninja pkg-config qt libzip libplist libdeflate zip unzip libarchive p7zip librsvg
    exit 0
fi

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev libzip-dev libplist-dev
    # the template document reader's XML parser
    libexpat1-dev
    # CRC-32 of installed files; the archives' SHA-256 (a fallback exists);
    # fast CRC-32 of unpacked entries (zlib's is the fallback)
    zlib1g-dev libssl-dev libdeflate-dev
    # translations: Qt6LinguistTools' CMake package, lupdate and lrelease,
    # and Qt's own translations (qtbase_de.qm) the application loads
    qt6-tools-dev qt6-l10n-tools qt6-translations-l10n
    # independent zip tools the tests compare against
    zip unzip libarchive-tools p7zip-full python3
    # validators of the desktop entry and the AppStream metainfo
    appstream desktop-file-utils
    # running the windows headless
    xvfb xauth fonts-dejavu-core
    # the icons, rendered from Resources/AppIcon.svg at build time
    librsvg2-bin
    # the packaging tests: the man pages (groff), the .deb and .rpm
    # (dpkg-shlibdeps, rpmbuild) and their linters, the workflow files (YAML)
    groff-base dpkg-dev file lintian rpm rpmlint python3-yaml
    # the Homebrew files (ruby -c)
    ruby
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    sudo=""
    [[ $(id -u) -eq 0 ]] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
