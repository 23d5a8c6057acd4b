// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "ZipArchive/ZipParallelUnpacker.h"

#include "Common/LogCategories.h"
#include "Common/ProgressListener.h"
#include "ZipArchive/ZipEntryWriter.h"

#include <QCoreApplication>
#include <QFile>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Below this much data, starting threads and reading the directory once
// more per worker costs more than inflating on two cores saves.
constexpr quint64 ParallelMinimumBytes = 8 * 1024 * 1024;
// Each worker holds a full copy of libzip's directory (about 270 bytes an
// entry, measured): past this count the copies would cost more memory than
// unpacking on one thread does in all, and the directory is read in windows.
constexpr zip_uint64_t ParallelMaximumEntries = ZipReader::WholeDirectoryMaximum;
constexpr int MaxWorkers = 4;
constexpr int MaxForcedWorkers = 8;
// How often the caller's thread tells the listener what workers wrote, and
// how far they may run ahead of it.
constexpr std::chrono::milliseconds ProgressInterval{10};
constexpr size_t MaxUntoldChunks = 64;

// Workers wanted for this plan: 0 or 1 means the caller's thread.
int wantedWorkers(const UnpackPlan &plan, int workerCount)
{
    int wanted = workerCount;
    if (wanted == 0)
        wanted = qEnvironmentVariableIntValue("MTI_UNZIP_WORKERS");
    if (wanted == 0) {
        if (plan.totalBytes < ParallelMinimumBytes || plan.entries.size() > ParallelMaximumEntries)
            return 0;
        wanted = std::min(QThread::idealThreadCount(), MaxWorkers);
    }
    return int(std::min<zip_uint64_t>(zip_uint64_t(std::min(wanted, MaxForcedWorkers)), plan.fileEntries));
}

// Every worker needs one more descriptor for the file it writes: whether
// that many more are free besides the readers'.
bool descriptorsFor(int fd, size_t readers)
{
    std::vector<int> probe;
    for (size_t i = 0; i <= readers; ++i) {
        const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
        if (copy < 0)
            break;
        probe.push_back(copy);
    }
    const bool enough = probe.size() > readers;
    for (const int copy : probe)
        ::close(copy);
    return enough;
}

// One parallel walk over a plan: what the workers and the caller's thread share.
class ParallelWalk
{
public:
    ParallelWalk(const ZipReader &reader, const UnpackPlan &plan, ProgressListener *listener)
        : _reader(reader), _plan(plan), _listener(listener), _stopAt(plan.entries.size())
    {
    }

    // Folders first, in archive order, on this thread. Where one cannot be
    // made, the caller's-thread walk would have stopped: entries from there
    // on are not written and that fault is reported after those before it.
    void makeFolders()
    {
        _limit = _plan.entries.size();
        UnpackFolders folders(_plan.destination);
        for (zip_uint64_t i = 0; i < _limit; ++i) {
            _folderFailure = folders.make(_plan.folderOf(_reader, i));
            if (_folderFailure) {
                _limit = i;
                break;
            }
        }
        _stopAt = _limit;
        _created.assign(size_t(_limit), 0);
        // Largest first, so no worker is left with a big entry at the end.
        _order.reserve(size_t(_plan.fileEntries));
        for (zip_uint64_t i = 0; i < _limit; ++i) {
            if (!_plan.entries[i].isDirectory)
                _order.push_back(zip_uint32_t(i));
        }
        std::stable_sort(_order.begin(), _order.end(), [this](zip_uint32_t a, zip_uint32_t b) {
            return _plan.entries[a].size > _plan.entries[b].size;
        });
    }

    // The threads started, one a reader while they can be.
    size_t start(const ZipParallelUnpacker::Readers &readers)
    {
        _running = int(readers.size());
        for (const ZipHandles::ArchivePtr &reader : readers) {
            try {
                _threads.emplace_back(&ParallelWalk::work, this, reader.get());
            } catch (const std::system_error &) {
                --_running; // fewer threads: the others claim its share
            }
        }
        return _threads.size();
    }

    // Progress and cancel on this thread, the caller's, while workers run.
    void relayProgress()
    {
        const qint64 progressTotal = _plan.progressTotal();
        qint64 progressDone = 0;
        std::unique_lock lock(_mutex);
        for (;;) {
            _changed.wait_for(lock, ProgressInterval,
                              [this] { return _running == 0 || _untold.size() >= MaxUntoldChunks; });
            const bool finished = _running == 0;
            std::vector<qint64> chunks;
            chunks.swap(_untold);
            _told.notify_all();
            lock.unlock();
            for (const qint64 bytes : chunks) {
                progressDone += bytes;
                if (!_cancelled && _listener && !_listener->progress(progressDone, progressTotal))
                    _cancelled = true;
            }
            lock.lock();
            if (_cancelled)
                _told.notify_all();
            if (finished && _untold.empty())
                break;
        }
    }

    void join()
    {
        for (std::thread &thread : _threads)
            thread.join();
    }

    // The spared entries the caller's-thread walk would have reached.
    QStringList spared() const
    {
        QStringList names;
        for (const auto &[index, name] : _spared) {
            if (index < _stopAt)
                names.append(name);
        }
        return names;
    }

    // Reported as the caller's-thread walk reports: in archive order, up to
    // the entry that stopped it.
    bool report(const ZipParallelUnpacker::Report &report)
    {
        const zip_uint64_t count = _plan.entries.size();
        bool succeeded = !_cancelled && _stopAt == count;
        for (auto &[index, result] : _problems) {
            if (index > _stopAt)
                break;
            QString name;
            const QString target = _plan.targetOf(_reader, index, &name);
            report(result.fault(name, target));
            succeeded = false;
        }
        if (_cancelled) {
            report({ZipError::Cancelled, {}, QCoreApplication::translate("ZipArchive", "Cancelled")});
            return false;
        }
        if (_stopAt < count) {
            if (_stopAt == _limit && _folderFailure)
                report(*_folderFailure);
            removeLaterFiles();
        }
        return succeeded;
    }

private:
    void work(zip_t *reader)
    {
        std::vector<char> buffer(ZipEntryWriter::TransferBufferSize);
        for (size_t k = _nextClaim++; k < _order.size(); k = _nextClaim++) {
            const zip_uint64_t i = _order[k];
            if (!_cancelled && i < _stopAt)
                writeEntry(reader, i, buffer.data());
        }
        std::lock_guard lock(_mutex);
        --_running;
        _changed.notify_all();
    }

    void writeEntry(zip_t *reader, zip_uint64_t i, char *buffer)
    {
        const UnpackPlan::Entry &entry = _plan.entries[i];
        EntryJob job;
        job.archive = reader;
        job.index = i;
        job.declaredSize = entry.size;
        if (entry.hasMtime)
            job.mtime = time_t(entry.mtime);
        job.target = _plan.targetOf(_reader, i);
        job.buffer = buffer;
        job.keepGoing = [this, i](qint64 bytes) { return keepGoing(i, bytes); };
        EntryResult result = ZipEntryWriter::write(job);
        if (result.kind == EntryResult::Damaged && _plan.spares) {
            const QString name = _reader.name(i);
            if (_plan.spares(name)) {
                ::unlink(QFile::encodeName(job.target).constData());
                std::lock_guard lock(_mutex);
                _spared.emplace(i, name);
                return;
            }
        }
        // A stopped entry is not reported: the entry that stopped the walk,
        // or the cancel, is.
        if (result.kind == EntryResult::Written || result.kind == EntryResult::Damaged)
            _created[i] = result.created;
        if (result.kind == EntryResult::Written || result.kind == EntryResult::Stopped)
            return;
        const bool fatal = result.kind != EntryResult::Damaged;
        std::lock_guard lock(_mutex);
        _problems.emplace(i, std::move(result));
        if (fatal) {
            zip_uint64_t current = _stopAt;
            while (i < current && !_stopAt.compare_exchange_weak(current, i)) {}
        }
    }

    // Chunks written and not yet told to the listener are told every few
    // milliseconds, each on its own, as on the caller's thread. A worker
    // that gets far ahead waits, so a cancel stops the walk soon after the
    // listener asks for it, and each worker within one more chunk.
    bool keepGoing(zip_uint64_t i, qint64 bytes)
    {
        if (_listener) {
            std::unique_lock lock(_mutex);
            _untold.push_back(bytes);
            if (_untold.size() >= MaxUntoldChunks) {
                _changed.notify_all();
                _told.wait(lock, [this] { return _untold.size() < MaxUntoldChunks || _cancelled; });
            }
        }
        return !_cancelled && i <= _stopAt;
    }

    // Files of entries after the one that stopped the walk, which workers
    // had written already.
    void removeLaterFiles()
    {
        for (zip_uint64_t i = _stopAt + 1; i < _limit; ++i) {
            if (_created[i])
                ::unlink(QFile::encodeName(_plan.targetOf(_reader, i)).constData());
        }
    }

    const ZipReader &_reader;
    const UnpackPlan &_plan;
    ProgressListener *_listener;
    zip_uint64_t _limit = 0;
    std::optional<ZipFault> _folderFailure;
    std::vector<zip_uint32_t> _order;
    std::atomic<size_t> _nextClaim{0};
    std::vector<qint64> _untold;
    std::atomic<bool> _cancelled{false};
    // The first entry, in archive order, that stopped the walk; entries after
    // it are not to be written, as on the caller's thread.
    std::atomic<zip_uint64_t> _stopAt;
    std::atomic<int> _running{0};
    std::mutex _mutex;
    std::condition_variable _changed; // to this thread: a chunk written, a worker done
    std::condition_variable _told;    // to the workers: chunks told, or cancelled
    std::map<zip_uint64_t, EntryResult> _problems;
    std::map<zip_uint64_t, QString> _spared;
    // Entries written into files made now, to be removed if a fault before
    // them stops the walk. Each slot is written by one worker only.
    std::vector<char> _created;
    std::vector<std::thread> _threads;
};

} // namespace

ZipParallelUnpacker::Readers ZipParallelUnpacker::openReaders(const ZipReader &reader, const UnpackPlan &plan,
                                                              int workerCount, bool overWrite)
{
    const int asked = workerCount != 0 ? workerCount : qEnvironmentVariableIntValue("MTI_UNZIP_WORKERS");
    const bool forced = asked >= 2;
    const int wanted = wantedWorkers(plan, workerCount);
    // A windowed directory is read one window at a time, on this thread.
    if (wanted < 2 || !overWrite || plan.encrypted || reader.windowed() || targetsCollide(reader))
        return {};
    Readers readers;
    while (int(readers.size()) < wanted) {
        ZipHandles::ArchivePtr copy = reader.openWholeCopy();
        if (!copy)
            break; // most likely out of descriptors: fewer workers will do
        readers.push_back(std::move(copy));
    }
    // Under a low limit give up workers rather than fail a write.
    while (!readers.empty() && !descriptorsFor(reader.fd(), readers.size()))
        readers.pop_back();
    if (readers.size() < 2)
        readers.clear();
    if (forced || !readers.empty())
        qCDebug(lcZip) << "unpacking with" << readers.size() << "workers of" << wanted;
    return readers;
}

ZipParallelUnpacker::ZipParallelUnpacker(const ZipReader &reader, const UnpackPlan &plan, ProgressListener *listener)
    : _reader(reader), _plan(plan), _listener(listener)
{
}

ZipParallelUnpacker::Outcome ZipParallelUnpacker::run(const Readers &readers, const Report &report)
{
    ParallelWalk walk(_reader, _plan, _listener);
    walk.makeFolders();
    _workers = int(walk.start(readers));
    if (_workers == 0)
        return Outcome::NoThreads;
    walk.relayProgress();
    walk.join();
    _spared = walk.spared();
    return walk.report(report) ? Outcome::Succeeded : Outcome::Failed;
}
