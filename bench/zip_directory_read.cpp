// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// Reads an archive's directory as listing does, with nothing else around it,
// so that bench/run_memory.py can tell the zip layer's peak memory apart
// from the template scan's. Prints the entry count.
//
//     zip_directory_read ARCHIVE
#include "ZipArchive/ZipDirectory.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 2) {
        std::fprintf(stderr, "usage: zip_directory_read ARCHIVE\n");
        return 2;
    }
    const auto entries = ZipDirectory::read(arguments.at(1), nullptr);
    if (!entries)
        return 1;
    std::printf("%zu entries\n", entries->size());
    return 0;
}
