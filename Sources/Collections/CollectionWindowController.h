// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Installer/TemplateInstaller.h"
#include "Interface/DocumentLoader.h"

#include <QCoreApplication>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QVersionNumber>

#include <optional>
#include <vector>

class EffectsFilterModel;
class EffectsTableModel;
class QLabel;
class PreviewPanel;
class QPoint;
class TemplateArchiveCollection;

// What a collection's window shows and lets the user pick: the table with
// its models, the status line, the buttons' states, the preview pane, the
// context menu and revealing an installed template.
class CollectionWindowController : public QObject
{
    Q_DECLARE_TR_FUNCTIONS(TemplateArchiveCollection)

public:
    explicit CollectionWindowController(TemplateArchiveCollection &collection);
    // Lets go of the models before the installers' items go.
    ~CollectionWindowController() override;

    // Once the archives are unpacked: the models over the document's templates.
    void setUpTable();
    bool hasTable() const { return _tableModel != nullptr; }
    // An archive listed in the table is unpacked: previews, details and
    // the large preview are read again from its files.
    void filesArrived();
    EffectsTableModel *tableModel() const { return _tableModel; }
    EffectsFilterModel *filterModel() const { return _filterModel; }

    // The marks, the status line and the buttons from what a worker saw.
    void applyInstalledStates(std::vector<bool> states);
    // Work that changes the folder runs: no button may start more.
    void disableCommands();
    void showCounts();
    // The templates selected in the table, in the archives' order.
    // The selected rows of the table model, in its order.
    std::vector<int> selectedSourceRows() const;
    EffectTemplateItemList selectedEffects() const;
    void revealSelected();
    // Space: the selected template's preview, large, or away again.
    void togglePreviewPanel();

    // 20 x 20 marks of the "installed" column.
    static const QPixmap &effectInstalledImage();
    static const QPixmap &effectNotInstalledImage();
    static const QPixmap &effectInstalledElsewhereImage();

    // The preview pane's details of a template, one "Label: value" a line;
    // a note while its document is still being read.
    static QString factsText(const DocumentLoader::Document &document, const std::optional<QVersionNumber> &finalCut);

private:
    void connectTable();
    // Find, Escape in the search, Return, Delete and Space in the table.
    void connectKeys();
    // The one selected template in the large preview: brought up with
    // `open`, else only when it is up already (it goes when the selection is
    // not one template).
    void showInPreviewPanel(bool open);
    void nameActions();
    void updateSelectionControls();
    // The line under the counts: what the search shows and what is selected.
    void showFilterLine();
    void showPreview();
    void showPreviewDetails(const EffectTemplateItem &item, int row);
    void showContextMenu(const QPoint &position);
    void reveal(const EffectTemplateItem *item);

    TemplateArchiveCollection &_collection;
    EffectsTableModel *_tableModel = nullptr;
    EffectsFilterModel *_filterModel = nullptr;
    QLabel *_filterLine = nullptr;
    QPointer<PreviewPanel> _previewPanel;
};
