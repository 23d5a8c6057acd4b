// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Common/Error.h"
#include "Metadata/ProjectCollect.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>
#include <optional>

class BackgroundWork;
class QWidget;

// Collect Templates: one zip of the templates a project uses, for a
// colleague (ProjectCollect), written on a worker under the progress dialog
// and told in a summary that names the templates missing here, which the zip
// lacks. A collector owns itself until its summary is up.
class TemplateCollector : public QObject
{
    Q_OBJECT

public:
    struct Roots
    {
        QString user;
        QString allUsers;
        static Roots standard();
    };

    // Asks where to write the zip, offering "<project> Templates.zip" beside
    // the project; empty when cancelled.
    static QString chooseZip(const QString &project, QWidget *parent = nullptr);
    // Reads the project and writes `zip`; the progress dialog and the summary
    // sit on `window`, or stand alone without one.
    static TemplateCollector *start(const QString &project, const QString &zip, const Roots &roots,
                                    QWidget *window = nullptr);

    ~TemplateCollector() override;

    const ProjectCollect::Result &result() const { return _result; }
    // Why nothing was collected: the project could not be read.
    const std::optional<Error> &readError() const { return _readError; }
    QString summaryTitle() const;
    QString summaryText() const;

signals:
    // The work has ended and the summary is up.
    void finished();

private:
    TemplateCollector(QString project, QString zip, const Roots &roots, QWidget *window);
    void ended();

    QString _project;
    QString _zip;
    Roots _roots;
    QPointer<QWidget> _window;
    std::unique_ptr<BackgroundWork> _work;
    ProjectCollect::Result _result;
    std::optional<Error> _readError;
};
