#include "DownloadItemView.h"

#include "ui_DownloadItemView.h"

#include <QLocale>

#include <algorithm>

namespace {

QString formattedSize(qint64 bytes)
{
    // Decimal units, as file managers on the Mac show sizes.
    return QLocale().formattedDataSize(bytes, 1, QLocale::DataSizeSIFormat);
}

} // namespace

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

    connect(_ui->cancelButton, &QPushButton::clicked, this, &DownloadItemView::cancelClicked);
    showProgress(0, -1);
}

DownloadItemView::~DownloadItemView() = default;

void DownloadItemView::setTitle(const QString &title)
{
    _ui->titleLabel->setText(title);
    _ui->titleLabel->setToolTip(title);
}

void DownloadItemView::showProgress(qint64 received, qint64 expected)
{
    if (expected > 0) {
        _ui->progressBar->setRange(0, 1000);
        _ui->progressBar->setValue(int(std::clamp<qint64>(received * 1000 / expected, 0, 1000)));
        _setStatus(tr("%1 of %2").arg(formattedSize(received), formattedSize(expected)), false);
    } else {
        // Unknown size: a busy bar, and only what has arrived so far.
        _ui->progressBar->setRange(0, 0);
        _setStatus(received > 0 ? formattedSize(received) : tr("Waiting for the server\u2026"),
                   false);
    }
    _ui->progressBar->setEnabled(true);
    _ui->cancelButton->setEnabled(true);
}

void DownloadItemView::showCompleted(qint64 size, const QString &fileName)
{
    _ui->progressBar->setRange(0, 1000);
    _ui->progressBar->setValue(1000);
    _setStatus(tr("%1 \u2014 saved as %2").arg(formattedSize(size), fileName), false);
    _ui->cancelButton->setEnabled(false);
}

void DownloadItemView::showFailed(const QString &reason)
{
    // Keep the bar where it stopped, greyed out, so the row shows how far it got.
    if (_ui->progressBar->maximum() == 0)
        _ui->progressBar->setRange(0, 1000);
    _ui->progressBar->setEnabled(false);
    _setStatus(reason, true);
    _ui->cancelButton->setEnabled(false);
}

void DownloadItemView::showCancelled()
{
    if (_ui->progressBar->maximum() == 0)
        _ui->progressBar->setRange(0, 1000);
    _ui->progressBar->setEnabled(false);
    _setStatus(tr("Cancelled"), false);
    _ui->cancelButton->setEnabled(false);
}

void DownloadItemView::_setStatus(const QString &text, bool isFailure)
{
    _ui->statusLabel->setText(text);
    _ui->statusLabel->setToolTip(text);
    QPalette palette = this->palette();
    if (isFailure)
        palette.setColor(QPalette::WindowText, QColor(0xc0, 0x30, 0x30));
    else
        palette.setColor(QPalette::WindowText,
                         this->palette().color(QPalette::Disabled, QPalette::WindowText));
    _ui->statusLabel->setPalette(palette);
}
