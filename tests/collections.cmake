# SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
# SPDX-License-Identifier: MIT
# Archive collections: opening, the registry, the window's table and the
# install and uninstall flows. Each executable runs with its own home folder.
# The collection window's helpers, built once for the GUI suites and benches.
qt_add_library(mti_collection_test_support STATIC CollectionTestTools.cpp CollectionTestTools.h)
target_link_libraries(mti_collection_test_support PUBLIC mti_test_support mtigui Qt6::Widgets PRIVATE mti_options)
mti_add_test(tst_TemplateArchiveCollection
    SOURCES tst_TemplateArchiveCollection.cpp LIBRARIES mti_collection_test_support mtigui)
mti_add_test(tst_TemplateArchiveCollectionFlows
    SOURCES tst_TemplateArchiveCollectionFlows.cpp LIBRARIES mti_collection_test_support mtigui)
mti_add_test(tst_TemplateArchiveCollectionDocument
    SOURCES tst_TemplateArchiveCollectionDocument.cpp LIBRARIES mti_collection_test_support mtigui)
mti_add_test(tst_EffectsTableModel
    SOURCES tst_EffectsTableModel.cpp LIBRARIES mti_collection_test_support mtigui)
mti_add_test(tst_CollectionTemplateDetails
    SOURCES tst_CollectionTemplateDetails.cpp LIBRARIES mti_collection_test_support mtigui)
mti_add_test(tst_CollectionOpeningRules SOURCES tst_CollectionOpeningRules.cpp LIBRARIES mtigui)

# The stall benchmark drives a collection window with the same helpers; it is
# built here but run by bench/run_collection_stall.py, never by CTest.
qt_add_executable(collection_stall ${PROJECT_SOURCE_DIR}/bench/collection_stall.cpp)
target_link_libraries(collection_stall PRIVATE Qt6::Test mti_options mti_collection_test_support mtigui)
target_include_directories(collection_stall PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_definitions(collection_stall PRIVATE
    MTI_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data"
    MTI_SHARED_FIXTURES_DIR="${PROJECT_SOURCE_DIR}/../shared/fixtures"
    MTI_MTZIP_BINARY="$<TARGET_FILE:mtzip>")
# The time to a shown window and the stall behind it, run by
# bench/run_collection_open.py.
qt_add_executable(collection_open ${PROJECT_SOURCE_DIR}/bench/collection_open.cpp)
target_link_libraries(collection_open PRIVATE Qt6::Test mti_options mti_collection_test_support mtigui)
target_include_directories(collection_open PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_definitions(collection_open PRIVATE
    MTI_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data"
    MTI_SHARED_FIXTURES_DIR="${PROJECT_SOURCE_DIR}/../shared/fixtures"
    MTI_MTZIP_BINARY="$<TARGET_FILE:mtzip>")
mti_add_test(tst_CollectionHabits
    SOURCES tst_CollectionHabits.cpp LIBRARIES mti_collection_test_support mtigui)
mti_add_test(tst_CollectionOpenAtOnce
    SOURCES tst_CollectionOpenAtOnce.cpp LIBRARIES mti_collection_test_support mtigui)
