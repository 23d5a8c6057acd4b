// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Common/ProgressListener.h"
#include "ZipArchive/ZipArchiveDelegate.h"

#include <QElapsedTimer>
#include <QString>

class QTextStream;

// Draws "<label> NN%" on a terminal, redrawn at most a few times a second.
class CliProgress : public ProgressListener
{
public:
    CliProgress(QTextStream &err, QString label, bool enabled);
    ~CliProgress() override;

    // Answers false once SIGINT or SIGTERM arrived.
    bool progress(qint64 done, qint64 total) override;
    // Printed on a line of its own, terminal or not: a wait is worth telling.
    void setStatus(const QString &status) override;
    void finish();

private:
    QTextStream &_err;
    QString _label;
    QString _lastStatus;
    bool _enabled;
    bool _drawn = false;
    int _lastPercent = -1;
    QElapsedTimer _sinceDraw;
};

// Sends the zip layer's messages to stderr, one line each.
// Only extract uses it: the archive commands print the installer's one
// error line instead of the zip layer's several.
class CliZipDelegate : public ZipArchiveDelegate
{
public:
    explicit CliZipDelegate(QTextStream &err) : _err(err) {}
    void ErrorMessage(const QString &message) override;

private:
    QTextStream &_err;
};
