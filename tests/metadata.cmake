# SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
# SPDX-License-Identifier: MIT
# What template documents and Final Cut Pro projects say.
mti_add_test(tst_TemplateDocument SOURCES tst_TemplateDocument.cpp LIBRARIES mticore)
mti_add_test(tst_ProjectDocument SOURCES tst_ProjectDocument.cpp LIBRARIES mticore)
mti_add_test(tst_ProjectCli SOURCES tst_ProjectCli.cpp LIBRARIES mticli)
# bench/run_documents.py times this: listing plus every document read.
qt_add_executable(document_read ${PROJECT_SOURCE_DIR}/bench/document_read.cpp)
target_link_libraries(document_read PRIVATE mti_options mticore PkgConfig::LIBZIP)
