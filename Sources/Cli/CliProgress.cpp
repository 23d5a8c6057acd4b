// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Cli/CliProgress.h"

#include "Cli/CliSignals.h"

#include <QTextStream>

CliProgress::CliProgress(QTextStream &err, QString label, bool enabled)
    : _err(err)
    , _label(std::move(label))
    , _enabled(enabled)
{
}

CliProgress::~CliProgress()
{
    finish();
}

bool CliProgress::progress(qint64 done, qint64 total)
{
    // Answered even when nothing is drawn: the listener is how the core
    // hears of a signal and undoes what it did.
    if (CliSignals::received())
        return false;
    if (!_enabled || total <= 0)
        return true;
    const int percent = total > 0 ? int(done * 100 / total) : 100;
    // Redrawing on every chunk would cost more than the copy over a slow terminal.
    if (percent == _lastPercent || (_drawn && percent < 100 && _sinceDraw.isValid() && _sinceDraw.elapsed() < 100))
        return true;
    _lastPercent = percent;
    _drawn = true;
    _sinceDraw.start();
    _err << '\r' << _label << ' ' << percent << '%';
    _err.flush();
    return true;
}

void CliProgress::setStatus(const QString &status)
{
    // After a signal the tool says one line, at its end.
    if (status.isEmpty() || status == _lastStatus || CliSignals::received())
        return;
    _lastStatus = status;
    finish();
    _err << "mtzip: " << status << '\n';
    _err.flush();
}

// Ends the drawn line, so that the next message starts a line of its own.
void CliProgress::finish()
{
    if (_drawn) {
        _err << '\n';
        _err.flush();
        _drawn = false;
    }
}

void CliZipDelegate::ErrorMessage(const QString &message)
{
    _err << "mtzip: " << message << '\n';
    _err.flush();
}
