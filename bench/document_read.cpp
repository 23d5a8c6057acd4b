// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// Lists an archive's directory as listing does, then reads every template
// document in it straight from the archive (nothing unpacked) through the
// template document reader, and prints what it took, so that
// bench/run_documents.py can set it against listing alone and extraction.
//
//     document_read ARCHIVE [summary|everything]
#include "Installer/TemplateType.h"
#include "Metadata/TemplateDocument.h"
#include "ZipArchive/ZipDirectory.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStringList>

#include <zip.h>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 2 || arguments.size() > 3) {
        std::fprintf(stderr, "usage: document_read ARCHIVE [summary|everything]\n");
        return 2;
    }
    const auto parts = arguments.value(2) == QLatin1String("everything") ? TemplateDocument::Parts::Everything
                                                                         : TemplateDocument::Parts::Summary;
    QElapsedTimer timer;
    timer.start();
    const auto entries = ZipDirectory::read(arguments.at(1), nullptr);
    if (!entries)
        return 1;
    const qint64 listed = timer.nsecsElapsed();

    int error = 0;
    zip_t *archive = zip_open(QFile::encodeName(arguments.at(1)).constData(), ZIP_RDONLY, &error);
    if (!archive)
        return 1;
    int documents = 0;
    int readable = 0;
    qint64 bytes = 0;
    for (const ZipDirectory::Entry &entry : *entries) {
        if (entry.isDirectory || TemplateType::forFileName(entry.relativePath.section(QLatin1Char('/'), -1)) == 0)
            continue;
        ++documents;
        zip_file_t *file = zip_fopen(archive, entry.name.toUtf8().constData(), 0);
        if (!file)
            continue;
        QByteArray data(qsizetype(std::min<quint64>(entry.size, TemplateDocument::DefaultMaxBytes)), Qt::Uninitialized);
        const zip_int64_t got = zip_fread(file, data.data(), zip_uint64_t(data.size()));
        zip_fclose(file);
        if (got < 0)
            continue;
        data.truncate(qsizetype(got));
        bytes += got;
        if (TemplateDocument::parse(data, QString(), parts))
            ++readable;
    }
    zip_close(archive);
    const qint64 total = timer.nsecsElapsed();
    std::printf("%zu entries, %d documents, %d readable, %lld bytes; listing %.3f s, with documents %.3f s\n",
                entries->size(), documents, readable, static_cast<long long>(bytes), double(listed) / 1e9,
                double(total) / 1e9);
    return 0;
}
