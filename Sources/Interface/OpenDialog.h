// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QUrl>

class QFileDialog;
class QString;
class QWidget;

// The one dialog that opens template archives, and the folder it starts in.
namespace OpenDialog {

// The folder a dialog was last accepted in (kept in the settings), else the
// Downloads folder, else the home folder.
QString startFolder();
// Gives a file dialog its starting folder and the dark look, and remembers
// its folder when accepted. A dialog prepared already is left alone, so
// whoever sees it first may prepare it.
void prepare(QFileDialog *dialog);
// Asks for template archives, modal; empty when the user cancels.
QList<QUrl> chooseTemplateArchives(QWidget *parent = nullptr);

} // namespace OpenDialog
