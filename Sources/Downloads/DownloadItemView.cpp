// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Downloads/DownloadItemView.h"

#include "ui_DownloadItemView.h"

#include "Common/ByteSize.h"

#include <QEvent>

#include <algorithm>

DownloadItemView::DownloadItemView(QWidget *parent)
    : QWidget(parent)
    , _ui(std::make_unique<Ui::DownloadItemView>())
{
    _ui->setupUi(this);

    QFont titleFont = _ui->titleLabel->font();
    titleFont.setBold(true);
    _ui->titleLabel->setFont(titleFont);

    QFont statusFont = _ui->statusLabel->font();
    if (statusFont.pointSizeF() > 0)
        statusFont.setPointSizeF(statusFont.pointSizeF() * 0.9);
    _ui->statusLabel->setFont(statusFont);

    // A thin bar reads as progress rather than as a control.
    _ui->progressBar->setFixedHeight(qMax(6, fontMetrics().height() / 2));

    // A finished row has nothing to cancel; the button goes but keeps its
    // place, so the bars of all rows stay the same length.
    QSizePolicy buttonPolicy = _ui->cancelButton->sizePolicy();
    buttonPolicy.setRetainSizeWhenHidden(true);
    _ui->cancelButton->setSizePolicy(buttonPolicy);

    _ui->titleLabel->installEventFilter(this);
    _ui->statusLabel->installEventFilter(this);

    connect(_ui->cancelButton, &QPushButton::clicked, this, &DownloadItemView::cancelClicked);
    showProgress(0, -1);
}

DownloadItemView::~DownloadItemView() = default;

void DownloadItemView::setTitle(const QString &title)
{
    _title = title;
    _ui->titleLabel->setToolTip(title);
    _elideTexts();
}

void DownloadItemView::showProgress(qint64 received, qint64 expected)
{
    if (expected > 0) {
        _ui->progressBar->setRange(0, 1000);
        _ui->progressBar->setValue(int(std::clamp<qint64>(received * 1000 / expected, 0, 1000)));
        _setStatus(tr("%1 of %2").arg(ByteSize::forDisplay(received), ByteSize::forDisplay(expected)), false);
    } else {
        // Unknown size: a busy bar, and only what has arrived so far.
        _ui->progressBar->setRange(0, 0);
        _setStatus(received > 0 ? ByteSize::forDisplay(received) : tr("Waiting for the server\u2026"),
                   false);
    }
    _ui->progressBar->setEnabled(true);
    _ui->cancelButton->setEnabled(true);
    _ui->cancelButton->show();
}

void DownloadItemView::showCompleted(qint64 size, const QString &fileName)
{
    _ui->progressBar->setRange(0, 1000);
    _ui->progressBar->setValue(1000);
    _setStatus(tr("%1 \u2014 saved as %2").arg(ByteSize::forDisplay(size), fileName), false);
    _ui->cancelButton->setEnabled(false);
    _ui->cancelButton->hide();
}

void DownloadItemView::showFailed(const QString &reason)
{
    // Keep the bar where it stopped, greyed out, so the row shows how far it got.
    if (_ui->progressBar->maximum() == 0)
        _ui->progressBar->setRange(0, 1000);
    _ui->progressBar->setEnabled(false);
    _setStatus(reason, true);
    _ui->cancelButton->setEnabled(false);
    _ui->cancelButton->hide();
}

void DownloadItemView::showCancelled()
{
    if (_ui->progressBar->maximum() == 0)
        _ui->progressBar->setRange(0, 1000);
    _ui->progressBar->setEnabled(false);
    _setStatus(tr("Cancelled"), false);
    _ui->cancelButton->setEnabled(false);
    _ui->cancelButton->hide();
}

void DownloadItemView::_setStatus(const QString &text, bool isFailure)
{
    _status = text;
    _ui->statusLabel->setToolTip(text);
    _elideTexts();

    // Secondary text is the text colour blended part way into the background;
    // failures are red. Both roles are set: inside a table's viewport a label
    // draws with Text rather than WindowText.
    const QPalette base = palette();
    const QColor foreground = base.color(QPalette::Text);
    const QColor background = base.color(QPalette::Base);
    const QColor secondary = QColor::fromRgbF(foreground.redF() * 0.65f + background.redF() * 0.35f,
                                              foreground.greenF() * 0.65f + background.greenF() * 0.35f,
                                              foreground.blueF() * 0.65f + background.blueF() * 0.35f);
    const QColor colour = isFailure ? QColor(0xc0, 0x30, 0x30) : secondary;
    QPalette statusPalette = base;
    statusPalette.setColor(QPalette::WindowText, colour);
    statusPalette.setColor(QPalette::Text, colour);
    _ui->statusLabel->setPalette(statusPalette);
}

bool DownloadItemView::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize
        && (watched == _ui->titleLabel || watched == _ui->statusLabel))
        _elideTexts();
    return QWidget::eventFilter(watched, event);
}

void DownloadItemView::_elideTexts()
{
    // Both ends stay: the start names the pack, the end holds its number and extension.
    const auto elide = [](QLabel *label, const QString &text) {
        const int width = label->contentsRect().width();
        label->setText(width > 0 ? label->fontMetrics().elidedText(text, Qt::ElideMiddle, width)
                                 : text);
    };
    elide(_ui->titleLabel, _title);
    elide(_ui->statusLabel, _status);
}
