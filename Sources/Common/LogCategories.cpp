// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Common/LogCategories.h"

Q_LOGGING_CATEGORY(lcZip, "mtzip.zip")
Q_LOGGING_CATEGORY(lcInstall, "mtzip.install")
Q_LOGGING_CATEGORY(lcGui, "mtzip.gui")
Q_LOGGING_CATEGORY(lcCli, "mtzip.cli")
