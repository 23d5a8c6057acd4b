// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Interface/OpenDialog.h"

#include "Appearance/DarkAppearance.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace {

const QString LastFolderKey = QStringLiteral("OpenDialog/lastFolder");
// On the dialog itself, so the mark goes when the dialog does.
const char *const PreparedProperty = "mtiOpenDialogPrepared";

} // namespace

namespace OpenDialog {

QString startFolder()
{
    const QString last = QSettings().value(LastFolderKey).toString();
    if (!last.isEmpty() && QFileInfo(last).isDir())
        return last;
    const QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (!downloads.isEmpty() && QFileInfo(downloads).isDir())
        return downloads;
    return QDir::homePath();
}

void prepare(QFileDialog *dialog)
{
    if (!dialog || dialog->property(PreparedProperty).toBool())
        return;
    dialog->setProperty(PreparedProperty, true);
    dialog->setDirectory(startFolder());
    DarkAppearance::apply(dialog);
    QObject::connect(dialog, &QDialog::accepted, dialog, [dialog] {
        const QStringList chosen = dialog->selectedFiles();
        const QString folder = chosen.isEmpty() ? dialog->directory().absolutePath()
                                                : QFileInfo(chosen.first()).absolutePath();
        QSettings().setValue(LastFolderKey, folder);
    });
}

QList<QUrl> chooseTemplateArchives(QWidget *parent)
{
    QFileDialog dialog(parent);
    prepare(&dialog);
    dialog.setWindowTitle(QCoreApplication::translate("TemplateArchiveCollection", "Open Template Archives"));
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilter(QCoreApplication::translate("TemplateArchiveCollection", "Motion Template Archives (*.mtzip *.zip)"));
    // The archive's own path, not a link's target: that path is what receipts
    // record and what is later offered for deletion.
    dialog.setOption(QFileDialog::DontResolveSymlinks);
    dialog.setOption(QFileDialog::ReadOnly); // no "New Folder"
    dialog.setLabelText(QFileDialog::Accept, QCoreApplication::translate("TemplateArchiveCollection", "Open"));
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedUrls();
}

} // namespace OpenDialog
