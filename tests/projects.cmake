# SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
# SPDX-License-Identifier: MIT
# The Check Project window. The executable runs with its own home folder.
mti_add_test(tst_ProjectCheckWindow
    SOURCES tst_ProjectCheckWindow.cpp LIBRARIES mti_collection_test_support mtigui)
