# SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
# SPDX-License-Identifier: MIT
# Archive collections: opening, the registry, the window's table and the
# install and uninstall flows. Each executable runs with its own home folder.
set(MTI_COLLECTION_TEST_TOOLS CollectionTestTools.cpp CollectionTestTools.h ${MTI_TEST_SUPPORT})
mti_add_test(tst_TemplateArchiveCollection
    SOURCES tst_TemplateArchiveCollection.cpp ${MTI_COLLECTION_TEST_TOOLS} LIBRARIES mtigui)
mti_add_test(tst_TemplateArchiveCollectionFlows
    SOURCES tst_TemplateArchiveCollectionFlows.cpp ${MTI_COLLECTION_TEST_TOOLS} LIBRARIES mtigui)
mti_add_test(tst_EffectsTableModel
    SOURCES tst_EffectsTableModel.cpp ${MTI_COLLECTION_TEST_TOOLS} LIBRARIES mtigui)
