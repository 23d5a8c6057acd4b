# SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
# SPDX-License-Identifier: MIT
# Translations: the German .qm over the core's and the windows' texts, and
# the .ts being complete.
mti_add_test(tst_Translations SOURCES tst_Translations.cpp LIBRARIES mtigui)
target_compile_definitions(tst_Translations PRIVATE
    MTI_QM_FILE="${PROJECT_BINARY_DIR}/Sources/App/motion-template-installer_de.qm"
    MTI_TS_FILE="${PROJECT_SOURCE_DIR}/translations/motion-template-installer_de.ts")
add_dependencies(tst_Translations MotionTemplateInstaller_lrelease mti_resources)
