mti_add_test(tst_ZipEntryName SOURCES tst_ZipEntryName.cpp LIBRARIES mticore)
