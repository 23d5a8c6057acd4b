// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;

// The Preferences window: where removed templates go, the folders searched
// for archives, the Final Cut Pro version to judge templates against, and
// which templates folder installs go to. Every change is stored at once
// (UserSettings), as the platform's preference windows do; there is no OK.
class PreferencesWindow : public QDialog
{
    Q_OBJECT

public:
    explicit PreferencesWindow(QWidget *parent = nullptr);

    // Reads the stored choices into the controls (on every show too).
    void load();

    QRadioButton *trashButton() const { return _toTrash; }
    QRadioButton *deleteButton() const { return _delete; }
    QListWidget *searchFolderList() const { return _folders; }
    QPushButton *addFolderButton() const { return _addFolder; }
    QPushButton *removeFolderButton() const { return _removeFolder; }
    QComboBox *finalCutVersionBox() const { return _finalCut; }
    // Says why a typed version is not taken; empty while it is.
    QLabel *finalCutProblemLabel() const { return _finalCutProblem; }
    QLabel *templatesFolderLabel() const { return _templatesFolder; }

    // Adds a folder to the searched ones (what Add… does with the chosen
    // folder); one listed already, or not a folder, changes nothing.
    bool addSearchFolder(const QString &folder);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void chooseSearchFolder();
    void removeSelectedFolders();
    void storeSearchFolders();
    void storeFinalCutVersion();

    QLabel *_templatesFolder;
    QRadioButton *_toTrash;
    QRadioButton *_delete;
    QListWidget *_folders;
    QPushButton *_addFolder;
    QPushButton *_removeFolder;
    QComboBox *_finalCut;
    QLabel *_finalCutProblem;
    bool _loading = false;
};
