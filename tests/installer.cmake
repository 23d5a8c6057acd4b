# Installation core and the mtzip commands over it.
mti_add_test(tst_InstallCli SOURCES tst_InstallCli.cpp LIBRARIES mticli)
mti_add_test(tst_EffectTemplateItem SOURCES tst_EffectTemplateItem.cpp LIBRARIES mticore)
mti_add_test(tst_TemplateInstaller SOURCES tst_TemplateInstaller.cpp LIBRARIES mticore)
mti_add_test(tst_FileOperations SOURCES tst_FileOperations.cpp LIBRARIES mticore)
