# SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
# SPDX-License-Identifier: MIT
# The downloads window.
mti_add_test(tst_Downloads SOURCES tst_Downloads.cpp LIBRARIES mtigui)
