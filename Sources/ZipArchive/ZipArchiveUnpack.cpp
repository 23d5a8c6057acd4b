// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// The reading side's UnzipFileTo: the plan, then the walk over it on the
// caller's thread or on workers (ZipParallelUnpacker).
#include "ZipArchive/ZipArchive.h"

#include "Common/FileOperations.h"
#include "Common/ProgressListener.h"
#include "ZipArchive/ZipEntryWriter.h"
#include "ZipArchive/ZipParallelUnpacker.h"
#include "ZipArchive/ZipReader.h"
#include "ZipArchive/ZipUnpackPlan.h"

#include <QCoreApplication>
#include <QFile>

#include <filesystem>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

ZipFault cancelledFault()
{
    return {ZipError::Cancelled, {}, QCoreApplication::translate("ZipArchive", "Cancelled")};
}

} // namespace

// The caller's-thread walk: entries in archive order, one buffer for all.
class ZipArchive::SequentialUnpack
{
public:
    SequentialUnpack(ZipArchive &archive, const UnpackPlan &plan)
        : _archive(archive), _plan(plan), _folders(plan.destination), _buffer(ZipEntryWriter::TransferBufferSize)
    {
    }

    bool run(bool overWrite)
    {
        bool succeeded = true;
        for (zip_uint64_t i = 0; i < _plan.entries.size(); ++i) {
            // A folder that cannot be made fails every entry after it: stop here.
            if (const std::optional<ZipFault> fault = _folders.make(_plan.folderOf(*_archive._reader, i)))
                return report(*fault);
            if (_plan.entries[i].isDirectory)
                continue;
            const QString target = _plan.targetOf(*_archive._reader, i);
            if (!overWrite && keptAsItIs(target)) {
                // A skipped entry is done as far as progress goes.
                if (!keepGoing(qint64(_plan.entries[i].size)))
                    return report(cancelledFault());
                continue;
            }
            const EntryResult result = writeEntry(i, target);
            if (result.kind == EntryResult::Written)
                continue;
            if (result.kind == EntryResult::Damaged && _plan.spares && _plan.spares(_archive._reader->name(i))) {
                ::unlink(QFile::encodeName(target).constData());
                _archive._spared.append(_archive._reader->name(i));
                continue;
            }
            _archive.fail(result.fault(_archive._reader->name(i), target));
            if (result.kind != EntryResult::Damaged)
                return false;
            succeeded = false;
        }
        return succeeded;
    }

private:
    bool report(const ZipFault &fault)
    {
        _archive.fail(fault);
        return false;
    }

    // Something is there already and the delegate says to leave it.
    bool keptAsItIs(const QString &target)
    {
        std::error_code ec;
        return fs::exists(fs::symlink_status(FileOperations::toFsPath(target), ec)) && !_archive.OverWrite(target);
    }

    bool keepGoing(qint64 bytes)
    {
        _done += bytes;
        return !_archive._progressListener || _archive._progressListener->progress(_done, _plan.progressTotal());
    }

    EntryResult writeEntry(zip_uint64_t i, const QString &target)
    {
        EntryJob job;
        QString problem;
        job.archive = _archive._reader->archiveFor(i, &job.index, &problem);
        if (!job.archive) {
            EntryResult result;
            result.kind = EntryResult::OpenFailed;
            result.zipError = ZIP_ER_INCONS;
            result.problem = problem;
            return result;
        }
        const UnpackPlan::Entry &entry = _plan.entries[i];
        job.declaredSize = entry.size;
        if (entry.hasMtime)
            job.mtime = time_t(entry.mtime);
        job.password = _plan.password;
        job.target = target;
        job.buffer = _buffer.data();
        job.keepGoing = [this](qint64 bytes) { return keepGoing(bytes); };
        return ZipEntryWriter::write(job);
    }

    ZipArchive &_archive;
    const UnpackPlan &_plan;
    UnpackFolders _folders;
    std::vector<char> _buffer;
    qint64 _done = 0;
};

bool ZipArchive::UnzipFileTo(const QString &path, bool overWrite)
{
    _lastError = {};
    _lastWorkers = 0;
    _spared.clear();
    UnpackPlan plan;
    plan.spares = _spares;
    if (const std::optional<ZipFault> refusal = plan.build(_reader.get(), path, asciiPassword())) {
        fail(*refusal);
        return false;
    }
    if (_progressListener && !_progressListener->progress(0, plan.progressTotal())) {
        fail(cancelledFault());
        return false;
    }
    const ZipParallelUnpacker::Readers readers =
        ZipParallelUnpacker::openReaders(*_reader, plan, _workerCount, overWrite);
    if (!readers.empty()) {
        ZipParallelUnpacker parallel(*_reader, plan, _progressListener);
        const auto outcome = parallel.run(readers, [this](const ZipFault &fault) { fail(fault); });
        _lastWorkers = parallel.workers();
        _spared = parallel.spared();
        if (outcome != ZipParallelUnpacker::Outcome::NoThreads)
            return outcome == ZipParallelUnpacker::Outcome::Succeeded;
    }
    return SequentialUnpack(*this, plan).run(overWrite);
}
