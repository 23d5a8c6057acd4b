# SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
# SPDX-License-Identifier: MIT
# The zip layer and the mtzip commands over it.
mti_add_test(tst_ZipEntryName SOURCES tst_ZipEntryName.cpp LIBRARIES mticore)
mti_add_test(tst_ZipArchive SOURCES tst_ZipArchive.cpp LIBRARIES mticore)
mti_add_test(tst_ZipCli SOURCES tst_ZipCli.cpp LIBRARIES mticli)
mti_add_test(tst_FuzzRegressions SOURCES tst_FuzzRegressions.cpp LIBRARIES mticore)
add_dependencies(tst_FuzzRegressions mtzip)
mti_add_test(tst_ZipParallel SOURCES tst_ZipParallel.cpp LIBRARIES mticore)
mti_add_test(tst_ZipWindows SOURCES tst_ZipWindows.cpp LIBRARIES mticore)
mti_add_test(tst_ZipToolVariants SOURCES tst_ZipToolVariants.cpp LIBRARIES mticore)
mti_add_test(tst_ZipFileSource SOURCES tst_ZipFileSource.cpp LIBRARIES mticore PkgConfig::LIBZIP)
mti_add_test(tst_ZipToolQuirks SOURCES tst_ZipToolQuirks.cpp LIBRARIES mticore)

# Reads a directory as listing does, for bench/run_memory.py; never run by CTest.
qt_add_executable(zip_directory_read ${PROJECT_SOURCE_DIR}/bench/zip_directory_read.cpp)
target_link_libraries(zip_directory_read PRIVATE mti_options mticore)
