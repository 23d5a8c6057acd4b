# The application shell: launch, opening archives, support menu, about
# window, the drop zone and the single-instance channel.
mti_add_test(tst_App SOURCES tst_App.cpp LIBRARIES mtigui)
mti_add_test(tst_Dropzone SOURCES tst_Dropzone.cpp LIBRARIES mtigui)
add_dependencies(tst_App mti_resources)
