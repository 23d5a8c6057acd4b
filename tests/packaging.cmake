# SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
# SPDX-License-Identifier: MIT
# A staged install of this build tree, as a packager sees it. It installs
# everything, so it waits for everything to be built.
mti_add_test(tst_Packaging SOURCES tst_Packaging.cpp LIBRARIES Qt6::Gui)
target_compile_definitions(tst_Packaging PRIVATE
    MTI_CMAKE_COMMAND="${CMAKE_COMMAND}"
    MTI_BUILD_DIR="${PROJECT_BINARY_DIR}")
add_dependencies(tst_Packaging mtzip MotionTemplateInstaller mti_resources)
