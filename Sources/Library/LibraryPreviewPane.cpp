// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Library/LibraryPreviewPane.h"

#include "Interface/PreviewLoader.h"
#include "Library/TemplateLibraryModel.h"
#include "Metadata/TemplateMarks.h"

#include <QLabel>
#include <QPixmap>
#include <QScrollArea>
#include <QVBoxLayout>

LibraryPreviewPane::LibraryPreviewPane(const TemplateLibraryModel *model, QWidget *parent)
    : QFrame(parent)
    , _model(model)
    // One image at a time, the newest asked for: a selection moving down the
    // table must not queue the previews it passed.
    , _loader(std::make_unique<PreviewLoader>(PreviewLoader::Sizes{QSize(1, 1), ImageSize}, PreviewLoader::Limits{1, 1}))
    , _image(new QLabel(this))
    , _title(new QLabel(this))
    , _facts(new QLabel)
{
    setObjectName(QStringLiteral("libraryPreviewPane"));
    setMinimumWidth(ImageSize.width() + 12);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 0, 0, 0);
    layout->setSpacing(8);
    _image->setObjectName(QStringLiteral("libraryPreviewImage"));
    _image->setFixedSize(ImageSize + QSize(2, 2));
    _image->setFrameShape(QFrame::StyledPanel);
    _image->setAlignment(Qt::AlignCenter);
    _title->setObjectName(QStringLiteral("libraryPreviewTitle"));
    _title->setWordWrap(true);
    _title->setTextFormat(Qt::PlainText);
    _title->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont bold = _title->font();
    bold.setBold(true);
    _title->setFont(bold);
    // Names come from archives: shown as written, never as markup.
    _facts->setObjectName(QStringLiteral("libraryPreviewFacts"));
    _facts->setWordWrap(true);
    _facts->setTextFormat(Qt::PlainText);
    _facts->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    _facts->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidgetResizable(true);
    scroll->setWidget(_facts);
    layout->addWidget(_image);
    layout->addWidget(_title);
    layout->addWidget(scroll, 1);

    connect(_loader.get(), &PreviewLoader::loaded, this,
            [this](const QString &folder, const QImage &, const QImage &preview) { previewLoaded(folder, preview); });
    connect(model, &TemplateLibraryModel::documentReady, this, [this](int row) {
        if (row == _row)
            showFacts();
    });
    showRow(-1);
}

LibraryPreviewPane::~LibraryPreviewPane() = default;

void LibraryPreviewPane::showRow(int row)
{
    _row = row >= 0 && row < _model->rowCount() ? row : -1;
    if (_row < 0) {
        _folder.clear();
        _image->setPixmap(QPixmap());
        _image->setText(tr("Select a template to see its preview."));
        _title->clear();
        _facts->clear();
        return;
    }
    const QString folder = _model->folderPath(_row);
    if (folder != _folder) {
        _folder = folder;
        _image->setPixmap(QPixmap());
        _image->setText(QString());
        _loader->clearPending();
        _loader->request(folder);
    }
    _title->setText(_model->title(_row));
    showFacts();
}

void LibraryPreviewPane::showFacts()
{
    if (_row < 0)
        return;
    QStringList lines;
    if (_model->isDuplicate(_row))
        lines.append(TemplateLibraryModel::duplicateText());
    const DocumentLoader::Document document = _model->document(_row);
    if (!document) {
        lines.append(tr("Reading the template’s details…"));
    } else {
        for (const TemplateMarks::Detail &detail : TemplateMarks::details(*document, _model->finalCutVersion()))
            lines.append(tr("%1: %2").arg(detail.label, detail.value));
    }
    _facts->setText(lines.join(QLatin1Char('\n')));
}

void LibraryPreviewPane::previewLoaded(const QString &folder, const QImage &preview)
{
    if (folder != _folder)
        return;
    if (preview.isNull()) {
        _image->setPixmap(QPixmap());
        _image->setText(tr("No Preview"));
    } else {
        _image->setPixmap(QPixmap::fromImage(preview));
    }
}
