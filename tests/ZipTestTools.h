// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Common/ProgressListener.h"
#include "TestSupport.h"
#include "ZipArchive/ZipArchiveDelegate.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QStringList>

// Helpers shared by the zip tests: archives written by independent tools and
// by our own writer, folder trees, and recording what ZipArchive tells its
// delegate and progress listener.
namespace ZipTestTools {

// A folder tree as relative path -> contents. Folders are keys ending in "/"
// with empty contents; every folder appears, not only empty ones.
using Tree = QMap<QString, QByteArray>;

// Entries in archive order: name as stored, contents. Folder names end in "/".
using EntryList = QList<QPair<QString, QByteArray>>;

// Zip compression methods Python's zipfile can write.
enum Method { Stored = 0, Deflated = 8, Bzip2 = 12, Lzma = 14 };

struct PythonZipOptions
{
    Method method = Deflated;
    bool forceZip64 = false;
    // Names as raw CP437 bytes without the UTF-8 flag, as DOS-era tools wrote them.
    bool cp437Names = false;
    // The entries' DOS time, read as wall-clock time.
    QDateTime time = QDateTime(QDate(2019, 5, 20), QTime(4, 4, 6));
};

// Writes archive with Python's zipfile, an implementation independent of ours.
TestSupport::ToolResult writeZipWithPython(const QString &archive, const EntryList &entries,
                                           const PythonZipOptions &options = {});
// Archives built byte by byte, for shapes no tool writes.
enum class CraftedZip {
    // 20 entries whose local headers lie inside one another's data: each
    // entry's deflate stream quotes the next local header in a stored block
    // and runs on into the next entry's data. About 100 KB declaring 2 GiB.
    NestedOverlap,
    // 20 directory entries all pointing at one local header.
    SharedLocalHeader,
    // A sound archive of three stored entries whose sizes and offsets are
    // only in Zip64 extra fields, its directory found through the Zip64 end
    // record.
    Zip64Fields,
};
// Writes the archive; a non-empty stub goes before it, offsets unadjusted.
TestSupport::ToolResult writeCraftedZip(const QString &archive, CraftedZip kind, const QByteArray &stub = {});

// Flips one byte in the middle of the named entry's data as stored (so
// compressed), found through its local and central headers: damage only
// reading that entry shows. False when the entry cannot be found.
bool damageEntryData(const QString &archive, const QString &name);
// Packs every file below folder into archive with our own writer; a failure
// fails the running test.
void packFolder(const QString &folder, const QString &archive);

// Writes every file and folder of tree below root, creating folders as needed.
bool writeTree(const QString &root, const Tree &tree);
// Reads the tree below root; symbolic links are listed with "@" before the
// link target as contents and are not followed.
Tree readTree(const QString &root);
// Empty when equal; otherwise one line per difference.
QString treeDifference(const Tree &actual, const Tree &expected);
// Every folder that a file or folder of tree lies in, added as "name/".
Tree withParentFolders(Tree tree);

// Content that compresses, so tools really deflate it; distinct per seed.
QByteArray compressibleText(int size, int seed = 0);
// Content that does not compress.
QByteArray noise(int size, quint32 seed = 1);

// Sets a file's modification time; false when that failed.
bool setModificationTime(const QString &path, const QDateTime &time);

class RecordingDelegate : public ZipArchiveDelegate
{
public:
    explicit RecordingDelegate(bool overwriteAnswer = true) : _answer(overwriteAnswer) {}

    void ErrorMessage(const QString &message) override { messages.append(message); }
    bool OverWriteOperation(const QString &path) override
    {
        overwriteQuestions.append(path);
        return _answer;
    }

    QStringList messages;
    QStringList overwriteQuestions;

private:
    bool _answer;
};

// Records every report; answers false from the report numbered cancelAt on
// (counting from 0), never when cancelAt is negative.
class RecordingProgress : public ProgressListener
{
public:
    explicit RecordingProgress(int cancelAt = -1) : _cancelAt(cancelAt) {}
    bool progress(qint64 done, qint64 total) override;

    QList<QPair<qint64, qint64>> reports;

private:
    int _cancelAt;
};

} // namespace ZipTestTools
