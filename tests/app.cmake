# SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
# SPDX-License-Identifier: MIT
# The application shell: launch, opening archives, support menu, about
# window, the drop zone and the single-instance channel.
mti_add_test(tst_App SOURCES tst_App.cpp LIBRARIES mtigui)
mti_add_test(tst_Dropzone SOURCES tst_Dropzone.cpp LIBRARIES mtigui)
# tst_App starts the application itself, to signal it while an alert is up.
target_compile_definitions(tst_App PRIVATE MTI_APP_BINARY="$<TARGET_FILE:MotionTemplateInstaller>"
    MTI_GERMAN_QM="${PROJECT_BINARY_DIR}/Sources/App/motion-template-installer_de.qm")
add_dependencies(tst_App mti_resources MotionTemplateInstaller)
mti_add_test(tst_AppHabits SOURCES tst_AppHabits.cpp LIBRARIES mti_collection_test_support mtigui)
add_dependencies(tst_AppHabits mti_resources)
