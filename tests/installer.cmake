# SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
# SPDX-License-Identifier: MIT
# Installation core and the mtzip commands over it.
mti_add_test(tst_InstallCli SOURCES tst_InstallCli.cpp ${MTI_ZIP_TEST_TOOLS} LIBRARIES mticli)
mti_add_test(tst_EffectTemplateItem SOURCES tst_EffectTemplateItem.cpp ${MTI_TEST_SUPPORT} LIBRARIES mticore)
mti_add_test(tst_TemplateInstaller SOURCES tst_TemplateInstaller.cpp ${MTI_ZIP_TEST_TOOLS} LIBRARIES mticore)
mti_add_test(tst_FileOperations SOURCES tst_FileOperations.cpp ${MTI_TEST_SUPPORT} LIBRARIES mticore)
mti_add_test(tst_SafeInstall SOURCES tst_SafeInstall.cpp ${MTI_ZIP_TEST_TOOLS} LIBRARIES mticore)
add_dependencies(tst_SafeInstall mtzip)
mti_add_test(tst_CommonHelpers SOURCES tst_CommonHelpers.cpp LIBRARIES mticore)
mti_add_test(tst_CliSpecialFiles SOURCES tst_CliSpecialFiles.cpp ${MTI_TEST_SUPPORT} LIBRARIES mticli)
mti_add_test(tst_Ownership SOURCES tst_Ownership.cpp ${MTI_ZIP_TEST_TOOLS} LIBRARIES mticli)
mti_add_test(tst_HostileRoot SOURCES tst_HostileRoot.cpp StagingThief.cpp StagingThief.h ${MTI_ZIP_TEST_TOOLS}
    LIBRARIES mticore)
add_dependencies(tst_HostileRoot mtzip)
