// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Common/Error.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class QJsonObject;

// The record a run keeps in a destination root while it changes it, so that
// the next run can finish or undo the work of one that was killed. One JSON
// object a line, each appended before the step it announces: a torn last
// line only loses a step that never began.
class InstallJournal
{
public:
    enum class Operation { Install, Uninstall };

    // One template of an install. Staging and backup are names in the
    // destination's own folder, so that every step is a rename.
    struct Template
    {
        QString destination;    // relative to the root, without a leading "/"
        QString staging;        // the copy being prepared
        QString backup;         // the replaced copy; empty when nothing was there
        bool swapping = false;  // the renames may have begun
        bool toTrash = false;   // the replaced copy goes to the Trash, not deleted
    };
    // A template of an uninstall that went to the Trash, and where it lies there.
    struct Trashed
    {
        QString destination;
        QString inTrash;
    };

    static QString fileName();  // in the root

    // A journal for a run of this process; nothing is written before begin().
    InstallJournal(QString root, Operation operation, QString archiveTitle);
    InstallJournal(InstallJournal &&other) noexcept;
    InstallJournal &operator=(InstallJournal &&other) noexcept;
    InstallJournal(const InstallJournal &) = delete;
    InstallJournal &operator=(const InstallJournal &) = delete;
    ~InstallJournal();

    // An uninstall names the folder in the root its templates are moved to,
    // and whether they go on to the Trash.
    [[nodiscard]] std::optional<Error> begin(const QString &removalFolder = {}, bool toTrash = false);
    [[nodiscard]] std::optional<Error> addDirectory(const QString &relative);
    [[nodiscard]] std::optional<Error> addStaging(const QString &destination, const QString &staging, bool toTrash = false);
    [[nodiscard]] std::optional<Error> addSwap(const QString &backup);
    // Every template an uninstall will take, before it takes the first: a
    // killed run is completed from this list.
    [[nodiscard]] std::optional<Error> addPlan(const QStringList &destinations);
    [[nodiscard]] std::optional<Error> addRemoval(const QString &destination);
    [[nodiscard]] std::optional<Error> addTrashed(const QString &destination, const QString &inTrash);
    // With toTrash the replaced copies go to the Trash, through `removalFolder`.
    [[nodiscard]] std::optional<Error> addCommit(bool toTrash = false);
    [[nodiscard]] std::optional<Error> addTrashing(const QString &removalFolder);
    // An uninstall that was cancelled is putting its templates back.
    [[nodiscard]] std::optional<Error> addCancel();
    // The run is over: the file goes.
    void close();

    // The journal left in root by an earlier run, or nothing. Anyone may
    // have written into the root: only a regular file of this user's (or
    // root's) of a bounded size is read, and a journal is refused when it
    // names a place outside the root or other than this system's own
    // folders, or when a link or a file stands where it names such a folder.
    static std::optional<InstallJournal> read(const QString &root);
    // Deals with a journal in root that read() refused: one torn in its
    // first line (its run had changed nothing yet) goes; anything else is
    // renamed aside (a link as the link), for whoever looks, out of the way
    // of later runs.
    static void setAside(const QString &root);

    const QString &root() const { return _root; }
    Operation operation() const { return _operation; }
    const QString &archiveTitle() const { return _archiveTitle; }
    qint64 pid() const { return _pid; }
    const QString &host() const { return _host; }
    // Folders the install created, outermost first.
    const QStringList &directories() const { return _directories; }
    const std::vector<Template> &templates() const { return _templates; }
    bool committed() const { return _committed; }
    const QString &removalFolder() const { return _removalFolder; }
    bool toTrash() const { return _toTrash; }
    const QStringList &removals() const { return _removals; }
    const QStringList &plan() const { return _plan; }
    const std::vector<Trashed> &trashed() const { return _trashed; }
    bool cancelled() const { return _cancelled; }

private:
    [[nodiscard]] std::optional<Error> append(const QJsonObject &record);
    void apply(const QJsonObject &record);
    // Why a journal read from the root cannot be acted on; empty when it can.
    QString misplacement() const;
    // What stands in its removal folder that no run of ours put there.
    QString removalFolderProblem() const;

    QString _root;
    Operation _operation;
    QString _archiveTitle;
    qint64 _pid = 0;
    QString _host;
    QStringList _directories;
    std::vector<Template> _templates;
    bool _committed = false;
    QString _removalFolder;
    bool _toTrash = false;
    QStringList _removals;
    QStringList _plan;
    std::vector<Trashed> _trashed;
    bool _cancelled = false;
    int _fd = -1;
};
