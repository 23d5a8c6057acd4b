// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QFrame>
#include <QString>

#include <memory>

class PreviewLoader;
class QLabel;
class TemplateLibraryModel;

// The library window's pane beside the table: the selected template's
// preview image, read off the GUI thread as the collection window reads
// it, its title, and what its document says (the details, the marks'
// sentences, and whether it is installed in both folders).
class LibraryPreviewPane : public QFrame
{
    Q_OBJECT

public:
    static constexpr QSize ImageSize{288, 162};

    explicit LibraryPreviewPane(const TemplateLibraryModel *model, QWidget *parent = nullptr);
    ~LibraryPreviewPane() override;

    // The model's row, or -1 for none; shown again when its document or
    // preview arrives.
    void showRow(int row);
    int shownRow() const { return _row; }

    QLabel *imageLabel() const { return _image; }
    QLabel *titleLabel() const { return _title; }
    QLabel *factsLabel() const { return _facts; }

private:
    void showFacts();
    void previewLoaded(const QString &folder, const QImage &preview);

    const TemplateLibraryModel *_model;
    std::unique_ptr<PreviewLoader> _loader;
    QLabel *_image;
    QLabel *_title;
    QLabel *_facts;
    int _row = -1;
    QString _folder;
};
