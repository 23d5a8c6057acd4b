// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Documents/TemplateArchiveDocument.h"
#include "Metadata/ProjectCheck.h"

#include <QCoreApplication>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class ProgressListener;

// Installing what a check found missing: for each root, one collection
// document over the archives that provide the missing templates (the first
// archive found for each), unpacked and with only those templates
// selected. The install itself is the collection's (one transaction per
// archive, ownership questions and all). No widgets: runs on a worker.
class MissingTemplates
{
    Q_DECLARE_TR_FUNCTIONS(ProjectCheckWindow)

public:
    struct Part
    {
        QString root;
        std::unique_ptr<TemplateArchiveDocument> document;
        TemplateArchiveDocument::Selection selection;
        bool installed = false;
    };

    struct Roots
    {
        QString user;
        QString allUsers;
    };

    // The archives to open, by root, from the result; nothing unpacked yet.
    MissingTemplates(const ProjectCheck::Result &result, const Roots &roots);

    bool isEmpty() const { return _wanted.empty(); }
    // Opens and unpacks the archives and selects the missing templates;
    // archives that cannot be opened or unpacked are named in problems().
    // False when cancelled.
    struct Progress
    {
        ProgressListener &listener;
        std::function<void(const QString &label)> setLabel;
        std::function<bool()> cancelled;
    };
    bool prepare(const Progress &progress);
    std::vector<Part> &parts() { return _parts; }
    const QStringList &problems() const { return _problems; }
    void addProblem(const QString &problem) { _problems.append(problem); }
    // Templates installed by other means (elevated) for this plan, counted in
    // what the user is told.
    void addInstalledElsewhere(int count) { _installedElsewhere += count; }
    int installedElsewhere() const { return _installedElsewhere; }

    // What is wanted in `root` (the archives, and the template folders
    // below the templates folder), taken out of this plan for an install
    // that runs elsewhere: by mtzip with the administrator's permission.
    struct Taken
    {
        QStringList archives;
        QStringList folders;
    };
    Taken take(const QString &root);

    // Installs the parts not installed yet, in order; stops at the first
    // outcome with an error or with copies to ask about, which it returns
    // with the part it concerns. Every count of the parts installed adds up.
    struct Outcome
    {
        TemplateArchiveDocument::InstallOutcome last;
        Part *stoppedAt = nullptr;
        int newlyInstalled = 0;
    };
    Outcome install(const Progress &progress);

private:
    struct Wanted
    {
        QString root;
        QString archive;
        QStringList folders;  // comparable relative template folders
    };
    std::vector<Wanted> _wanted;
    std::vector<Part> _parts;
    QStringList _problems;
    int _installedElsewhere = 0;
};
