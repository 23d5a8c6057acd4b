# SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
# SPDX-License-Identifier: MIT
# mtzip alone, built from source without the GUI (-DMTI_GUI=OFF): the core
# and the command-line tool, no Qt Widgets. On release, url and sha256
# become those of the new source archive.
class Mtzip < Formula
  desc "Install and inspect motion-graphics template archives (.mtzip)"
  homepage "https://motion-template-installer.invalid/"
  url "https://motion-template-installer.invalid/releases/motion-template-installer-1.0.tar.gz"
  sha256 "0000000000000000000000000000000000000000000000000000000000000000"
  license "MIT"

  depends_on "cmake" => :build
  depends_on "librsvg" => :build
  depends_on "ninja" => :build
  depends_on "pkgconf" => :build
  depends_on "libdeflate"
  depends_on "libplist"
  depends_on "libzip"
  depends_on "openssl@3"
  depends_on "qt"

  uses_from_macos "expat"

  conflicts_with cask: "motion-template-installer"

  def install
    system "cmake", "-S", ".", "-B", "build", "-G", "Ninja",
                    "-DMTI_GUI=OFF", "-DMTI_BUILD_TESTS=OFF", *std_cmake_args
    system "cmake", "--build", "build"
    system "cmake", "--install", "build"
  end

  test do
    assert_match version.to_s, shell_output("#{bin}/mtzip --version")
    # The installed category list is found beside the binary.
    (testpath/"pack/LT_Test").mkpath
    (testpath/"pack/LT_Test/LT_Test.moti").write "<template/>"
    system bin/"mtzip", "pack", testpath/"pack", testpath/"LT_Test.mtzip"
    assert_match "LT_Test", shell_output("#{bin}/mtzip list --dest #{testpath}/dest #{testpath}/LT_Test.mtzip")
  end
end
