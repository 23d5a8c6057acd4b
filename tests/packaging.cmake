# SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
# SPDX-License-Identifier: MIT
# A staged install of this build tree, as a packager sees it, and the .deb
# and .rpm CPack makes of it. It installs everything, so it waits for
# everything to be built.
mti_add_test(tst_Packaging SOURCES tst_Packaging.cpp LIBRARIES Qt6::Gui)
target_compile_definitions(tst_Packaging PRIVATE
    MTI_CMAKE_COMMAND="${CMAKE_COMMAND}"
    MTI_CPACK_COMMAND="${CMAKE_CPACK_COMMAND}"
    MTI_BUILD_DIR="${PROJECT_BINARY_DIR}"
    MTI_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    MTI_VERSION="${PROJECT_VERSION}"
    MTI_RELEASE_DATE="${MTI_RELEASE_DATE}"
    MTI_COPYRIGHT="${MTI_COPYRIGHT}"
    MTI_MACOS_MINIMUM="${MTI_MACOS_MINIMUM}"
    MTI_OSX_DEPLOYMENT_TARGET="${CMAKE_OSX_DEPLOYMENT_TARGET}"
    MTI_SAMPLE_PACK_STAMP="${MTI_SAMPLE_PACK_STAMP}"
    MTI_INSTALLED_MTZIP="${CMAKE_INSTALL_FULL_BINDIR}/mtzip"
    MTI_APP_BINARY="$<TARGET_FILE:MotionTemplateInstaller>")
add_dependencies(tst_Packaging mtzip MotionTemplateInstaller mti_resources)
# Building two packages and running their linters takes a while.
set_tests_properties(tst_Packaging PROPERTIES TIMEOUT 600)

# The release script's dry run and refusals, the workflows and Homebrew files.
mti_add_test(tst_Release SOURCES tst_Release.cpp)
target_compile_definitions(tst_Release PRIVATE
    MTI_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    MTI_VERSION="${PROJECT_VERSION}")
