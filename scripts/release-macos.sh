#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
# SPDX-License-Identifier: MIT
# Makes the signed, notarised release .dmg on macOS:
#   universal build -> bundle with mtzip inside -> macdeployqt -> Qt's
#   translations for our languages -> LSMinimumSystemVersion checked against
#   the deployed binaries -> codesign (hardened runtime) inside out ->
#   notarise and staple the app -> .dmg (CPack DragNDrop, with the link to
#   /Applications) -> sign, notarise and staple the .dmg.
#
#   scripts/release-macos.sh [--dry-run] [--output DIR] [--build-dir DIR]
#
# From the environment:
#   MTI_CODESIGN_IDENTITY  "Developer ID Application: NAME (TEAM)", or "-" to
#                          sign ad hoc (CI); ad hoc skips notarisation.
#   MTI_NOTARY_PROFILE     a notarytool keychain profile, or else all three of
#   MTI_NOTARY_APPLE_ID, MTI_NOTARY_TEAM_ID, MTI_NOTARY_PASSWORD
#                          (an app-specific password).
#   QT_PREFIX              the Qt to build with (default: brew --prefix qt).
#   MTI_ARCHS              architectures (default "arm64;x86_64"); a universal
#                          build needs a universal Qt and libraries.
#
# --dry-run checks the input and prints every command instead of running it.
# Nothing is left half-written: the work happens in a staging folder beside
# the output, removed on failure, and the .dmg is moved into place last.
#
# Entitlements: none. The application neither runs JIT code nor loads
# libraries signed by others (all of them are signed here with the same
# identity), nor uses the camera, the microphone or Apple events, so the
# hardened runtime needs no exception.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
dry_run=0
output="$root/dist"
build_dir="$root/build-release"

die() {
    echo "release-macos.sh: $*" >&2
    exit 2
}

while (($#)); do
    case "$1" in
    --dry-run) dry_run=1 ;;
    --output)
        (($# >= 2)) || die "--output needs a folder"
        output=$2
        shift
        ;;
    --build-dir)
        (($# >= 2)) || die "--build-dir needs a folder"
        build_dir=$2
        shift
        ;;
    -h | --help)
        sed -n '4,30p' "$0" | sed 's/^# \{0,1\}//'
        exit 0
        ;;
    *) die "unknown argument '$1' (see --help)" ;;
    esac
    shift
done

# Prints a command as a shell would read it back, then runs it unless this
# is a dry run.
# The notarisation password is never printed.
run() {
    local quoted
    printf -v quoted '%q ' "$@"
    quoted=${quoted% }
    if [[ -n "${MTI_NOTARY_PASSWORD:-}" ]]; then
        local secret
        printf -v secret '%q' "$MTI_NOTARY_PASSWORD"
        quoted=${quoted//"$secret"/'***'}
    fi
    echo "+ $quoted"
    if ((!dry_run)); then
        "$@"
    fi
}

# True when dotted version $1 is later than $2 (macOS's sort may lack -V).
version_later() {
    local IFS=.
    local -a a b
    read -r -a a <<<"$1"
    read -r -a b <<<"$2"
    local i
    for ((i = 0; i < 3; ++i)); do
        if ((10#${a[i]:-0} != 10#${b[i]:-0})); then
            ((10#${a[i]:-0} > 10#${b[i]:-0}))
            return
        fi
    done
    return 1
}

if [[ "$(uname -s)" != "Darwin" ]] && ((!dry_run)); then
    die "needs macOS (codesign, notarytool, hdiutil); --dry-run shows the commands anywhere"
fi

version=$(sed -n 's/^ *VERSION \([0-9][0-9.]*\)$/\1/p' "$root/CMakeLists.txt" | head -n 1)
[[ -n "$version" ]] || die "cannot read the version from $root/CMakeLists.txt"
bundle_name="Motion Template Installer"
dmg_name="MotionTemplateInstaller-$version.dmg"

# --- Input, checked before anything is written --------------------------------

identity=${MTI_CODESIGN_IDENTITY:-}
if [[ -z "$identity" ]]; then
    die "no signing identity: set MTI_CODESIGN_IDENTITY to a \"Developer ID Application\" identity \
(security find-identity -v -p codesigning lists them), or to \"-\" for an ad-hoc signature. Nothing was built."
fi
adhoc=0
[[ "$identity" == "-" ]] && adhoc=1
notary_args=()
if ((!adhoc)); then
    if [[ -n "${MTI_NOTARY_PROFILE:-}" ]]; then
        notary_args=(--keychain-profile "$MTI_NOTARY_PROFILE")
    elif [[ -n "${MTI_NOTARY_APPLE_ID:-}" && -n "${MTI_NOTARY_TEAM_ID:-}" && -n "${MTI_NOTARY_PASSWORD:-}" ]]; then
        notary_args=(--apple-id "$MTI_NOTARY_APPLE_ID" --team-id "$MTI_NOTARY_TEAM_ID" --password "$MTI_NOTARY_PASSWORD")
    else
        die "no notarisation credentials: set MTI_NOTARY_PROFILE (xcrun notarytool store-credentials) or \
MTI_NOTARY_APPLE_ID, MTI_NOTARY_TEAM_ID and MTI_NOTARY_PASSWORD. Nothing was built."
    fi
fi

qt_prefix=${QT_PREFIX:-}
if [[ -z "$qt_prefix" ]] && command -v brew >/dev/null; then
    qt_prefix=$(brew --prefix qt)
fi
[[ -n "$qt_prefix" ]] || die "no Qt: set QT_PREFIX to the Qt 6 to build with"
macdeployqt="$qt_prefix/bin/macdeployqt"
archs=${MTI_ARCHS:-arm64;x86_64}
if ((!dry_run)); then
    [[ -x "$macdeployqt" ]] || die "$qt_prefix is not a Qt 6 for macOS: no bin/macdeployqt there (QT_PREFIX)"
    qtcore="$qt_prefix/lib/QtCore.framework/QtCore"
    [[ -f "$qtcore" ]] || die "$qt_prefix has no lib/QtCore.framework (QT_PREFIX)"
    qt_archs=$(lipo -archs "$qtcore")
    for arch in ${archs//;/ }; do
        [[ " $qt_archs " == *" $arch "* ]] || die "the Qt at $qt_prefix is built for $qt_archs, not $arch: \
a universal build needs a universal Qt and libraries; set MTI_ARCHS to build for fewer"
    done
fi
qt_translations="$qt_prefix/share/qt/translations"
[[ -d "$qt_prefix/translations" ]] && qt_translations="$qt_prefix/translations"

deploy="$output/deploy"
staging="$output/.staging"
app="$deploy/$bundle_name.app"
for stale in "$deploy" "$staging"; do
    if [[ -e "$stale" ]]; then
        die "a stale deploy folder from an interrupted run is in the way: $stale. \
Remove it (rm -rf) and run again; it is never reused, since half of it may be missing."
    fi
done
if [[ -e "$output/$dmg_name" ]]; then
    die "$output/$dmg_name exists already: move it away or remove it; a release is never overwritten"
fi

# From here on, a failure removes what this run wrote.
cleanup() {
    local status=$?
    if ((status != 0)) && ((!dry_run)); then
        rm -rf "$deploy" "$staging"
        echo "release-macos.sh: failed; removed $deploy and $staging" >&2
    fi
}
trap cleanup EXIT

# --- Build and deploy -----------------------------------------------------------

run mkdir -p "$output" "$staging"
run cmake -S "$root" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    "-DCMAKE_OSX_ARCHITECTURES=$archs" "-DCMAKE_PREFIX_PATH=$qt_prefix" \
    -DMTI_BUILD_TESTS=OFF -DMTI_DEPLOY_QT=OFF
run cmake --build "$build_dir"
run cmake --install "$build_dir" --prefix "$deploy"
run "$macdeployqt" "$app" "-executable=$app/Contents/MacOS/mtzip" -always-overwrite -verbose=1

# Qt's own translations (standard buttons, file dialogs) for every language
# the application is translated into; qt.conf tells Qt where they are.
run mkdir -p "$app/Contents/Resources/translations"
for ts in "$root"/translations/motion-template-installer_*.ts; do
    language=${ts##*_}
    language=${language%.ts}
    run cp "$qt_translations/qtbase_$language.qm" "$app/Contents/Resources/translations/"
done
if ((dry_run)); then
    echo "+ add 'Translations = Resources/translations' to $app/Contents/Resources/qt.conf"
else
    grep -q '^\[Paths\]' "$app/Contents/Resources/qt.conf" || echo '[Paths]' >>"$app/Contents/Resources/qt.conf"
    sed -i '' '/^\[Paths\]/a\
Translations = Resources/translations
' "$app/Contents/Resources/qt.conf"
fi

# The oldest macOS the deployed binaries load on: a Homebrew Qt is built for
# the macOS of its bottle, later than Qt's own minimum.
plist="$app/Contents/Info.plist"
if ((dry_run)); then
    echo "+ otool -l on every Mach-O file in $app: the latest minos must not be later than LSMinimumSystemVersion in $plist"
else
    declared=$(/usr/libexec/PlistBuddy -c 'Print :LSMinimumSystemVersion' "$plist")
    needed=$declared
    while IFS= read -r -d '' file; do
        [[ "$(file -b "$file")" == *Mach-O* ]] || continue
        for minos in $(otool -l "$file" | awk '$1 == "minos" { print $2 } $1 == "version" && prev ~ /LC_VERSION_MIN_MACOSX/ { print $2 } { if ($1 == "cmd") prev = $2 }'); do
            if version_later "$minos" "$needed"; then
                needed=$minos
                echo "$file needs macOS $minos"
            fi
        done
    done < <(find "$app/Contents" -type f -print0)
    if [[ "$needed" != "$declared" ]]; then
        echo "LSMinimumSystemVersion: $declared -> $needed, as the deployed binaries need"
        /usr/libexec/PlistBuddy -c "Set :LSMinimumSystemVersion $needed" "$plist"
    fi
fi

# --- Sign, inside out -----------------------------------------------------------

sign_args=(--force --options runtime --sign "$identity")
((adhoc)) || sign_args+=(--timestamp)
if ((dry_run)); then
    echo "+ codesign ${sign_args[*]} on every dylib, plug-in and framework in $app/Contents"
    nested=()
else
    nested=()
    while IFS= read -r -d '' file; do
        nested+=("$file")
    done < <(find "$app/Contents/Frameworks" "$app/Contents/PlugIns" \( -name '*.dylib' -o -name '*.so' \) -type f -print0 2>/dev/null)
    while IFS= read -r -d '' framework; do
        nested+=("$framework")
    done < <(find "$app/Contents/Frameworks" -name '*.framework' -type d -prune -print0 2>/dev/null)
fi
for file in ${nested[@]+"${nested[@]}"}; do
    run codesign "${sign_args[@]}" "$file"
done
run codesign "${sign_args[@]}" --identifier com.quillfen.mtzip "$app/Contents/MacOS/mtzip"
run codesign "${sign_args[@]}" "$app"
run codesign --verify --deep --strict --verbose=2 "$app"

# --- Notarise -------------------------------------------------------------------

if ((adhoc)); then
    echo "Ad-hoc signature: not notarised (Gatekeeper will ask on other Macs)."
else
    run ditto -c -k --keepParent "$app" "$staging/notarize.zip"
    run xcrun notarytool submit "$staging/notarize.zip" "${notary_args[@]}" --wait
    run xcrun stapler staple "$app"
    run spctl --assess --type execute --verbose=2 "$app"
fi

# --- The .dmg -------------------------------------------------------------------

# CPack's DragNDrop generator packs the signed bundle as it is (an installed
# directory, not a new install of the build tree) beside a link to
# /Applications.
cpack_config="$staging/CPackRelease.cmake"
if ((dry_run)); then
    echo "+ write $cpack_config: the build's CPackConfig.cmake, packing $deploy"
else
    cat >"$cpack_config" <<EOF
include("$build_dir/CPackConfig.cmake")
set(CPACK_GENERATOR DragNDrop)
set(CPACK_INSTALL_CMAKE_PROJECTS "")
set(CPACK_INSTALLED_DIRECTORIES "$deploy;.")
set(CPACK_PACKAGE_FILE_NAME "${dmg_name%.dmg}")
set(CPACK_PACKAGE_DIRECTORY "$staging")
EOF
fi
run cpack --config "$cpack_config"
dmg="$staging/$dmg_name"
if ((adhoc)); then
    run codesign --force --sign "$identity" "$dmg"
else
    run codesign --force --timestamp --sign "$identity" "$dmg"
    run xcrun notarytool submit "$dmg" "${notary_args[@]}" --wait
    run xcrun stapler staple "$dmg"
fi
run codesign --verify --strict --verbose=2 "$dmg"
run mv "$dmg" "$output/$dmg_name"
run rm -rf "$deploy" "$staging"
if ((dry_run)); then
    echo "Dry run: nothing was written."
else
    echo "Release: $output/$dmg_name"
fi
