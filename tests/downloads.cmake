# The downloads window.
mti_add_test(tst_Downloads SOURCES tst_Downloads.cpp LIBRARIES mtigui)
