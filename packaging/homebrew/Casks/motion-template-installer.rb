# SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
# SPDX-License-Identifier: MIT
# The application, with mtzip, its man page and completions linked from the
# bundle. On release, version and sha256 become those of the new .dmg
# (scripts/release-macos.sh prints its SHA-256).
cask "motion-template-installer" do
  version "1.0"
  sha256 :no_check

  url "https://motion-template-installer.invalid/releases/MotionTemplateInstaller-#{version}.dmg"
  name "Motion Template Installer"
  desc "Installs motion-graphics templates for Final Cut Pro and Motion"
  homepage "https://motion-template-installer.invalid/"

  depends_on macos: ">= :big_sur"

  app "Motion Template Installer.app"
  binary "#{appdir}/Motion Template Installer.app/Contents/MacOS/mtzip"
  manpage "#{appdir}/Motion Template Installer.app/Contents/Resources/man/man1/mtzip.1"
  manpage "#{appdir}/Motion Template Installer.app/Contents/Resources/man/man1/motion-template-installer.1"
  bash_completion "#{appdir}/Motion Template Installer.app/Contents/Resources/completions/mtzip.bash",
                  target: "mtzip"
  zsh_completion "#{appdir}/Motion Template Installer.app/Contents/Resources/completions/_mtzip"

  conflicts_with formula: "mtzip"

  zap trash: [
    "~/Library/Application Support/Quillfen/Motion Template Installer",
    "~/Library/Caches/Quillfen/Motion Template Installer",
    "~/Library/Preferences/com.quillfen.Motion Template Installer.plist",
    "~/Library/Saved Application State/com.quillfen.MotionTemplateInstaller.savedState",
  ]
end
