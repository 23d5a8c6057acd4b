# SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
# SPDX-License-Identifier: MIT
# What is installed in a destination root: receipts, the library over them,
# and the mtzip commands over them (installed, verify, remove, owner, files, info).
mti_add_test(tst_TemplateLibrary SOURCES tst_TemplateLibrary.cpp LIBRARIES mticore)
mti_add_test(tst_LibraryCli SOURCES tst_LibraryCli.cpp LIBRARIES mticli)
mti_add_test(tst_ArchiveQueriesCli SOURCES tst_ArchiveQueriesCli.cpp LIBRARIES mticli)
