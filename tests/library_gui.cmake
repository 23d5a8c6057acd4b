# SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
# SPDX-License-Identifier: MIT
# The template library window and its model. Each executable runs with its
# own home folder (and Trash); both run the built mtzip as another process.
mti_add_test(tst_TemplateLibraryModel
    SOURCES tst_TemplateLibraryModel.cpp LIBRARIES mti_collection_test_support mtigui)
mti_add_test(tst_TemplateLibraryWindow
    SOURCES tst_TemplateLibraryWindow.cpp LIBRARIES mti_collection_test_support mtigui)
mti_add_test(tst_LibraryTemplateDetails
    SOURCES tst_LibraryTemplateDetails.cpp LIBRARIES mti_collection_test_support mtigui)
add_dependencies(tst_TemplateLibraryModel mtzip)
add_dependencies(tst_TemplateLibraryWindow mtzip)

# Time to the library window's first paint over many installed templates;
# run by bench/run_library_window.py, never by CTest.
qt_add_executable(library_window ${PROJECT_SOURCE_DIR}/bench/library_window.cpp)
target_link_libraries(library_window PRIVATE Qt6::Test mti_options mti_collection_test_support mtigui)
target_include_directories(library_window PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_definitions(library_window PRIVATE
    MTI_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data"
    MTI_SHARED_FIXTURES_DIR="${PROJECT_SOURCE_DIR}/../shared/fixtures"
    MTI_MTZIP_BINARY="$<TARGET_FILE:mtzip>")
