#include "ProgressDialogListener.h"

#include "DarkAppearance.h"

#include <QCoreApplication>
#include <QProgressDialog>

ProgressDialogListener::ProgressDialogListener(QWidget *window, QString label)
    : _window(window)
    , _label(std::move(label))
{
}

ProgressDialogListener::~ProgressDialogListener()
{
    delete _dialog.data();
}

void ProgressDialogListener::setLabel(const QString &label)
{
    _label = label;
    _lastPermille = -1;
    if (_dialog) {
        _dialog->setLabelText(label);
        _dialog->setValue(0);
    }
}

bool ProgressDialogListener::progress(qint64 done, qint64 total)
{
    if (_cancelled || (_created && !_dialog))
        return false;
    if (!_dialog) {
        _created = true;
        QWidget *parent = _window && _window->isVisible() ? _window.data() : nullptr;
        _dialog = new QProgressDialog(_label, QObject::tr("Cancel"), 0, 1000, parent);
        _dialog->setWindowTitle(QObject::tr("Motion Template Installer"));
        _dialog->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
        _dialog->setMinimumDuration(400);
        _dialog->setMinimumWidth(420);
        _dialog->setAutoClose(false);
        _dialog->setAutoReset(false);
        // Dark like the collection windows it belongs to, also while the
        // window is still being set up (unpacking) and not on screen yet.
        DarkAppearance::apply(_dialog);
        _dialog->setValue(0);
        _sinceEvents.start();
    }
    const int permille = total > 0 ? int(qBound(qint64(0), done * 1000 / total, qint64(1000))) : 1000;
    if (permille != _lastPermille) {
        _lastPermille = permille;
        // Processes events itself when modal and on screen.
        _dialog->setValue(permille);
    }
    if (_sinceEvents.elapsed() > 50) {
        QCoreApplication::processEvents();
        _sinceEvents.restart();
    }
    return !_cancelled && _dialog && !_dialog->wasCanceled();
}
