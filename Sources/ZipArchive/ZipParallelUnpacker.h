// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "ZipArchive/ZipHandles.h"
#include "ZipArchive/ZipUnpackPlan.h"

#include <QStringList>

#include <functional>
#include <vector>

class ProgressListener;

// Unpacks a plan's file entries on worker threads (std::thread, the room's
// one way of working off the caller's thread), each with its own libzip
// reader; progress and cancellation stay on the caller's thread. Faults are
// reported as the caller's-thread walk reports them: in archive order, up to
// the entry that stopped the walk, and nothing after that entry is kept.
class ZipParallelUnpacker
{
public:
    using Readers = std::vector<ZipHandles::ArchivePtr>;
    using Report = std::function<void(const ZipFault &)>;

    // Readers for the worker threads, each over its own descriptor; empty
    // when this archive unpacks on the caller's thread. workerCount as
    // ZipArchive::setWorkerCount takes it.
    [[nodiscard]] static Readers openReaders(const ZipReader &reader, const UnpackPlan &plan, int workerCount,
                                             bool overWrite);

    ZipParallelUnpacker(const ZipReader &reader, const UnpackPlan &plan, ProgressListener *listener);
    ZipParallelUnpacker(const ZipParallelUnpacker &) = delete;
    ZipParallelUnpacker &operator=(const ZipParallelUnpacker &) = delete;

    enum class Outcome { Succeeded, Failed, NoThreads };
    // NoThreads when not one thread could start: nothing was written but
    // folders, and the caller unpacks on its own thread instead.
    [[nodiscard]] Outcome run(const Readers &readers, const Report &report);
    // Threads the last run unpacked with.
    int workers() const { return _workers; }
    // The damaged entries the plan spares that the last run left out, in
    // archive order.
    const QStringList &spared() const { return _spared; }

private:
    const ZipReader &_reader;
    const UnpackPlan &_plan;
    ProgressListener *_listener;
    int _workers = 0;
    QStringList _spared;
};
