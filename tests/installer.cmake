# SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
# SPDX-License-Identifier: MIT
# Installation core and the mtzip commands over it.
mti_add_test(tst_InstallCli SOURCES tst_InstallCli.cpp LIBRARIES mticli)
mti_add_test(tst_EffectTemplateItem SOURCES tst_EffectTemplateItem.cpp LIBRARIES mticore)
mti_add_test(tst_TemplateInstaller SOURCES tst_TemplateInstaller.cpp LIBRARIES mticore)
mti_add_test(tst_FileOperations SOURCES tst_FileOperations.cpp LIBRARIES mticore)
mti_add_test(tst_SafeInstall SOURCES tst_SafeInstall.cpp LIBRARIES mticore)
add_dependencies(tst_SafeInstall mtzip)
mti_add_test(tst_CommonHelpers SOURCES tst_CommonHelpers.cpp LIBRARIES mticore)
mti_add_test(tst_CliSpecialFiles SOURCES tst_CliSpecialFiles.cpp LIBRARIES mticli)
mti_add_test(tst_Ownership SOURCES tst_Ownership.cpp LIBRARIES mticli)
mti_add_test(tst_HostileRoot SOURCES tst_HostileRoot.cpp
    LIBRARIES mticore)
add_dependencies(tst_HostileRoot mtzip)
mti_add_test(tst_DocumentsCli SOURCES tst_DocumentsCli.cpp LIBRARIES mticli)
mti_add_test(tst_TemplateHiding SOURCES tst_TemplateHiding.cpp LIBRARIES mticli)
