// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class DownloadItemView;
}

// The row of one download in the downloads window: its title, a progress
// bar, the bytes done and expected (or why it failed), and a cancel button.
// It only shows what its item tells it; the item decides.
class DownloadItemView : public QWidget
{
    Q_OBJECT

public:
    explicit DownloadItemView(QWidget *parent = nullptr);
    ~DownloadItemView() override;

    void setTitle(const QString &title);

    // A transfer under way; expected < 0 means the size is not known yet.
    void showProgress(qint64 received, qint64 expected);
    // The file is in place; fileName is what it was saved as.
    void showCompleted(qint64 size, const QString &fileName);
    void showFailed(const QString &reason);
    void showCancelled();

signals:
    void cancelClicked();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void _setStatus(const QString &text, bool isFailure);
    void _elideTexts();

    std::unique_ptr<Ui::DownloadItemView> _ui;
    // Shown whole in tooltips, elided in the labels when the row is narrow.
    QString _title;
    QString _status;
};
