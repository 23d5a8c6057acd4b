// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Projects/TemplateCollector.h"

#include "Installer/TemplateFolders.h"
#include "Interface/Alert.h"
#include "Interface/BackgroundWork.h"
#include "Interface/OpenDialog.h"
#include "Projects/ProjectCheckModel.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace {

// The summary names a few; the rest are counted.
constexpr qsizetype Named = 8;

} // namespace

TemplateCollector::Roots TemplateCollector::Roots::standard()
{
    return {TemplateFolders::forThisUser(), TemplateFolders::forAllUsers()};
}

QString TemplateCollector::chooseZip(const QString &project, QWidget *parent)
{
    const QFileInfo info(project);
    const QString suggested = QDir(info.absolutePath()).filePath(tr("%1 Templates.zip").arg(info.completeBaseName()));
    QFileDialog dialog(parent, tr("Collect Templates"), QString(), tr("Zip archives (*.zip)"));
    // Dark like every dialog; prepared here, so that its folder stays the
    // project's and is not replaced by the open dialog's.
    OpenDialog::prepare(&dialog);
    dialog.setDirectory(info.absolutePath());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("zip"));
    dialog.selectFile(suggested);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.first();
}

TemplateCollector *TemplateCollector::start(const QString &project, const QString &zip, const Roots &roots,
                                            QWidget *window)
{
    return new TemplateCollector(project, zip, roots, window);
}

TemplateCollector::TemplateCollector(QString project, QString zip, const Roots &roots, QWidget *window)
    : _project(std::move(project))
    , _zip(std::move(zip))
    , _roots(roots)
    , _window(window)
    , _work(std::make_unique<BackgroundWork>(window, tr("Collecting the templates of “%1”…")
                                                         .arg(QFileInfo(_project).fileName())))
{
    connect(_work.get(), &BackgroundWork::finished, this, &TemplateCollector::ended);
    // Written by the worker, read after finished(): the finish hands them over.
    ProjectCollect::Result *result = &_result;
    std::optional<Error> *readError = &_readError;
    const QString path = _project;
    const ProjectCollect::Request request{_roots.user, _roots.allUsers, _zip};
    _work->start([path, request, result, readError](ProgressListener &listener) {
        Expected<ProjectDocument> project = ProjectDocument::read(path);
        if (!project) {
            *readError = project.error();
            return;
        }
        *result = ProjectCollect::collect(*project, request, &listener);
    });
}

TemplateCollector::~TemplateCollector() = default;

QString TemplateCollector::summaryTitle() const
{
    if (_readError)
        return tr("“%1” cannot be read.").arg(QFileInfo(_project).fileName());
    if (_result.error)
        return _result.error->isCancellation() ? tr("Collecting Cancelled") : tr("Templates Not Collected");
    return tr("Templates Collected");
}

QString TemplateCollector::summaryText() const
{
    if (_readError)
        return _readError->localizedDescription();
    if (_result.error) {
        return _result.error->isCancellation() ? tr("No zip was written.")
                                               : tr("No zip was written: %1").arg(_result.error->localizedDescription());
    }
    QStringList parts;
    const int collected = int(_result.collected.size());
    const QString name = QFileInfo(_zip).fileName();
    parts.append(collected == 1 ? tr("1 template was written to “%1”.").arg(name)
                                : tr("%1 templates were written to “%2”.").arg(QString::number(collected), name));
    if (!_result.missing.empty()) {
        QStringList missing;
        for (const ProjectDocument::Template &t : _result.missing) {
            if (missing.size() == Named)
                break;
            missing.append(tr("%1 (%2)").arg(t.name, ProjectCheckModel::kindAndCategory(t.location.folder())));
        }
        const qsizetype more = qsizetype(_result.missing.size()) - missing.size();
        if (more > 0)
            missing.append(tr("and %1 more").arg(more));
        parts.append((_result.missing.size() == 1 ? tr("1 template is not installed here and is not in the zip:")
                                                  : tr("%1 templates are not installed here and are not in the zip:")
                                                        .arg(_result.missing.size()))
                     + QLatin1Char('\n') + missing.join(QLatin1Char('\n')));
    }
    if (!_result.skippedLinks.isEmpty())
        parts.append(tr("Links inside templates were left out: %1").arg(_result.skippedLinks.join(QStringLiteral(", "))));
    return parts.join(QStringLiteral("\n\n"));
}

void TemplateCollector::ended()
{
    Alert::beginSheet(_window, summaryTitle(), summaryText(), {tr("OK"), QString(), QString()});
    emit finished();
    // Not from inside the work's own signal.
    deleteLater();
}
