// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "App/PreferencesWindow.h"

#include "Appearance/DarkAppearance.h"
#include "Common/UserSettings.h"
#include "Installer/TemplateInstaller.h"
#include "Interface/FileManager.h"
#include "Metadata/FinalCutVersions.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <set>

namespace {

// The versions the table knows, newest first: what the override is usually set to.
QStringList knownFinalCutVersions()
{
    std::set<QVersionNumber> versions;
    for (const FinalCutVersions::Row &row : FinalCutVersions::table())
        versions.insert(row.finalCut.normalized());
    QStringList texts;
    for (auto it = versions.crbegin(); it != versions.crend(); ++it)
        texts.append(it->toString());
    return texts;
}


// The empty entry (the newest version installed) reads as the field's
// placeholder in the list too, not as a blank row.
class PlaceholderDelegate : public QStyledItemDelegate
{
public:
    PlaceholderDelegate(QString placeholder, QObject *parent) : QStyledItemDelegate(parent), _placeholder(std::move(placeholder)) {}

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (option->text.isEmpty()) {
            option->text = _placeholder;
            option->palette.setColor(QPalette::Text, option->palette.color(QPalette::PlaceholderText));
        }
    }

private:
    QString _placeholder;
};

} // namespace

PreferencesWindow::PreferencesWindow(QWidget *parent)
    : QDialog(parent)
    , _templatesFolder(new QLabel(this))
    , _toTrash(new QRadioButton(tr("Move them to the Trash"), this))
    , _delete(new QRadioButton(tr("Delete them at once"), this))
    , _folders(new QListWidget(this))
    , _addFolder(new QPushButton(tr("Add…"), this))
    , _removeFolder(new QPushButton(tr("Remove"), this))
    , _finalCut(new QComboBox(this))
    , _finalCutProblem(new QLabel(this))
{
    setObjectName(QStringLiteral("preferencesWindow"));
    setWindowTitle(tr("Preferences"));
    _toTrash->setObjectName(QStringLiteral("removeToTrash"));
    _delete->setObjectName(QStringLiteral("removeForGood"));
    _folders->setObjectName(QStringLiteral("archiveSearchFolders"));
    _finalCut->setObjectName(QStringLiteral("finalCutVersion"));
    _templatesFolder->setObjectName(QStringLiteral("templatesFolder"));
    _finalCutProblem->setObjectName(QStringLiteral("finalCutVersionProblem"));

    // Templates folder: where the collection windows install.
    _templatesFolder->setTextFormat(Qt::PlainText);
    // One line: a path broken at its slashes reads badly.
    _templatesFolder->setTextInteractionFlags(Qt::TextSelectableByMouse);
#ifdef Q_OS_MACOS
    auto *reveal = new QPushButton(tr("Show in Finder"), this);
#else
    auto *reveal = new QPushButton(tr("Show in File Manager"), this);
#endif
    connect(reveal, &QPushButton::clicked, this, [] {
        const QString folder = TemplateInstaller::userDestMotionTemplatesFolder();
        FileManager::reveal(QFileInfo::exists(folder) ? folder : QFileInfo(folder).absolutePath());
    });
    auto *folderRow = new QHBoxLayout;
    folderRow->addWidget(_templatesFolder, 1);
    folderRow->addWidget(reveal, 0, Qt::AlignTop);

    // Removed templates.
    auto *removal = new QButtonGroup(this);
    removal->addButton(_toTrash);
    removal->addButton(_delete);
    connect(removal, &QButtonGroup::buttonToggled, this, [this](QAbstractButton *, bool) {
        if (!_loading)
            UserSettings::setRemoveToTrash(_toTrash->isChecked());
    });
    auto *removalColumn = new QVBoxLayout;
    removalColumn->addWidget(_toTrash);
    removalColumn->addWidget(_delete);

    // Folders searched for archives.
    _folders->setSelectionMode(QAbstractItemView::ExtendedSelection);
    _folders->setMinimumHeight(fontMetrics().height() * 5);
    _removeFolder->setEnabled(false);
    connect(_addFolder, &QPushButton::clicked, this, &PreferencesWindow::chooseSearchFolder);
    connect(_removeFolder, &QPushButton::clicked, this, &PreferencesWindow::removeSelectedFolders);
    connect(_folders, &QListWidget::itemSelectionChanged, this,
            [this] { _removeFolder->setEnabled(!_folders->selectedItems().isEmpty()); });
    // The notes stay on one line each: wrapped labels in a form get heights
    // that do not follow their width, and clip.
    auto *folderButtons = new QHBoxLayout;
    folderButtons->addWidget(_addFolder);
    folderButtons->addWidget(_removeFolder);
    folderButtons->addStretch(1);
    auto *foldersColumn = new QVBoxLayout;
    foldersColumn->addWidget(_folders);
    foldersColumn->addLayout(folderButtons);
    auto *foldersNote = new QLabel(tr("Besides Downloads, these folders are searched for the archives of templates a "
                                      "project is missing."),
                                   this);
    foldersColumn->addWidget(foldersNote);

    // Final Cut Pro version: empty is the newest one installed.
    _finalCut->setEditable(true);
    _finalCut->setInsertPolicy(QComboBox::NoInsert);
    _finalCut->lineEdit()->setPlaceholderText(tr("Newest installed"));
    _finalCut->setItemDelegate(new PlaceholderDelegate(_finalCut->lineEdit()->placeholderText(), _finalCut));
    _finalCut->addItem(QString());
    _finalCut->addItems(knownFinalCutVersions());
    connect(_finalCut, &QComboBox::activated, this, [this] { storeFinalCutVersion(); });
    connect(_finalCut->lineEdit(), &QLineEdit::editingFinished, this, &PreferencesWindow::storeFinalCutVersion);
    _finalCutProblem->setWordWrap(true);
    _finalCutProblem->hide();
    auto *finalCutColumn = new QVBoxLayout;
    finalCutColumn->addWidget(_finalCut);
    finalCutColumn->addWidget(_finalCutProblem);
    auto *finalCutNote = new QLabel(tr("Templates are judged against this version; leave it empty for the newest one "
                                       "installed."),
                                    this);
    finalCutColumn->addWidget(finalCutNote);

    auto *form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignTop);
    form->addRow(tr("Templates folder:"), folderRow);
    form->addRow(tr("Removed templates:"), removalColumn);
    form->addRow(tr("Search for archives in:"), foldersColumn);
    form->addRow(tr("Final Cut Pro version:"), finalCutColumn);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    // Wide enough for a folder path to read on one or two lines in any language.
    _folders->setMinimumWidth(fontMetrics().averageCharWidth() * 48);
    DarkAppearance::apply(this);
    load();
}

void PreferencesWindow::load()
{
    _loading = true;
    _templatesFolder->setText(QDir::toNativeSeparators(TemplateInstaller::userDestMotionTemplatesFolder()));
    const bool toTrash = UserSettings::removeToTrash();
    _toTrash->setChecked(toTrash);
    _delete->setChecked(!toTrash);
    _folders->clear();
    for (const QString &folder : UserSettings::archiveSearchFolders())
        _folders->addItem(QDir::toNativeSeparators(folder));
    _removeFolder->setEnabled(false);
    const QString version = UserSettings::finalCutVersionOverride();
    const int index = _finalCut->findText(version);
    if (index >= 0)
        _finalCut->setCurrentIndex(index);
    _finalCut->setEditText(version);
    _finalCutProblem->hide();
    _loading = false;
}

void PreferencesWindow::showEvent(QShowEvent *event)
{
    // Another program (mtzip) may have changed them meanwhile.
    load();
    QDialog::showEvent(event);
}

bool PreferencesWindow::addSearchFolder(const QString &folder)
{
    const QString path = QFileInfo(folder).absoluteFilePath();
    if (folder.isEmpty() || !QFileInfo(path).isDir())
        return false;
    const QString shown = QDir::toNativeSeparators(path);
    if (!_folders->findItems(shown, Qt::MatchExactly).isEmpty())
        return false;
    _folders->addItem(shown);
    storeSearchFolders();
    return true;
}

void PreferencesWindow::chooseSearchFolder()
{
    const QString folder = QFileDialog::getExistingDirectory(this, tr("Search for Archives In"), QDir::homePath());
    addSearchFolder(folder);
}

void PreferencesWindow::removeSelectedFolders()
{
    qDeleteAll(_folders->selectedItems());
    storeSearchFolders();
}

void PreferencesWindow::storeSearchFolders()
{
    QStringList folders;
    for (int row = 0; row < _folders->count(); ++row)
        folders.append(QDir::fromNativeSeparators(_folders->item(row)->text()));
    UserSettings::setArchiveSearchFolders(folders);
}

void PreferencesWindow::storeFinalCutVersion()
{
    if (_loading)
        return;
    const QString text = _finalCut->currentText().trimmed();
    // A version that does not parse would count as unset: say so instead of
    // storing it.
    if (!text.isEmpty() && !FinalCutVersions::parse(text)) {
        _finalCutProblem->setText(tr("“%1” is not a version number such as 11.1.").arg(text));
        _finalCutProblem->show();
        return;
    }
    _finalCutProblem->hide();
    UserSettings::setFinalCutVersionOverride(text);
}
