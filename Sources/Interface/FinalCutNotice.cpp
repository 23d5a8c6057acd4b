// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Interface/FinalCutNotice.h"

#include "Interface/Alert.h"
#include "Metadata/RunningFinalCut.h"

#include <QCoreApplication>
#include <QFutureWatcher>
#include <QPointer>
#include <QWidget>
#include <QtConcurrent/QtConcurrentRun>

namespace {

std::function<QString()> &runningQuery()
{
    static std::function<QString()> query = [] { return RunningFinalCut::running(); };
    return query;
}

std::function<bool(const QString &)> &reopenAction()
{
    static std::function<bool(const QString &)> action = [](const QString &identifier) {
        return RunningFinalCut::quitAndReopen(identifier);
    };
    return action;
}

} // namespace

namespace FinalCutNotice {

QString runningFinalCut()
{
    return runningQuery()();
}

void setRunningQuery(std::function<QString()> query)
{
    runningQuery() = query ? std::move(query) : [] { return RunningFinalCut::running(); };
}

void setReopenAction(std::function<bool(const QString &)> action)
{
    reopenAction() = action ? std::move(action)
                            : [](const QString &identifier) { return RunningFinalCut::quitAndReopen(identifier); };
}

QString note()
{
    return QCoreApplication::translate("FinalCutNotice", "Final Cut Pro is running: it shows the change after it is reopened.");
}

QString reopenButton()
{
    return QCoreApplication::translate("FinalCutNotice", "Reopen Final Cut Pro");
}

void reopen(QWidget *window, const QString &bundleIdentifier)
{
    // Quitting waits for Final Cut Pro to save and go: seconds, not for the GUI thread.
    auto *watcher = new QFutureWatcher<bool>();
    QPointer<QWidget> owner(window);
    QObject::connect(watcher, &QFutureWatcherBase::finished, watcher, [watcher, owner] {
        watcher->deleteLater();
        if (!watcher->result() && owner)
            Alert::beginSheet(owner, QCoreApplication::translate("FinalCutNotice", "Final Cut Pro Was Not Reopened"),
                              QCoreApplication::translate("FinalCutNotice", "Final Cut Pro did not quit or did not open again. Quit and open it yourself to "
                                 "see the change."),
                              {QCoreApplication::translate("FinalCutNotice", "OK"), QString(), QString()});
    });
    watcher->setFuture(QtConcurrent::run([action = reopenAction(), bundleIdentifier] { return action(bundleIdentifier); }));
}

} // namespace FinalCutNotice
