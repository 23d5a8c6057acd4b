# SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
# SPDX-License-Identifier: MIT
# The rooms of Sources/, read from their includes: nothing to link but Qt.
mti_add_test(tst_Layering SOURCES tst_Layering.cpp LIBRARIES Qt6::Core)
target_compile_definitions(tst_Layering PRIVATE MTI_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
