# Installation core and the mtzip commands over it.
mti_add_test(tst_ZipEntryName SOURCES tst_ZipEntryName.cpp LIBRARIES mticore)
mti_add_test(tst_ZipArchive SOURCES tst_ZipArchive.cpp ZipTestTools.cpp ZipTestTools.h LIBRARIES mticore)
mti_add_test(tst_ZipCli SOURCES tst_ZipCli.cpp ZipTestTools.cpp ZipTestTools.h LIBRARIES mticli)
mti_add_test(tst_FuzzRegressions SOURCES tst_FuzzRegressions.cpp LIBRARIES mticore)
