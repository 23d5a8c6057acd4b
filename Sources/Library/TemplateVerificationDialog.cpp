// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Library/TemplateVerificationDialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// In the order the dialog lists them: the damage first.
enum class Standing { Damaged, Added, Intact, NoReceipt };

Standing standingOf(const TemplateLibrary::Verification &result)
{
    if (!result.hasReceipt)
        return Standing::NoReceipt;
    if (!result.isIntact())
        return Standing::Damaged;
    return result.added.isEmpty() ? Standing::Intact : Standing::Added;
}

// Picked to read on the dark look; the finding's words say the same, for
// those who cannot tell the colours apart.
QColor colourOf(Standing standing)
{
    switch (standing) {
    case Standing::Damaged: return QColor(0xff, 0x6b, 0x5e);
    case Standing::Added: return QColor(0xf0, 0xc0, 0x50);
    case Standing::Intact: return QColor(0x6c, 0xcf, 0x7a);
    case Standing::NoReceipt: return QColor(0xa8, 0xa8, 0xb0);
    }
    return {};
}

} // namespace

TemplateVerificationDialog::TemplateVerificationDialog(const std::vector<TemplateLibrary::Verification> &results,
                                                       QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("TemplateVerificationDialog"));
    setWindowTitle(tr("Verify Templates"));
    resize(640, 440);

    auto *layout = new QVBoxLayout(this);
    _summary = new QLabel(summary(results), this);
    _summary->setObjectName(QStringLiteral("summaryLabel"));
    _summary->setWordWrap(true);
    layout->addWidget(_summary);

    _tree = new QTreeWidget(this);
    _tree->setObjectName(QStringLiteral("resultsTree"));
    _tree->setColumnCount(3);
    _tree->setHeaderLabels({tr("Template or file"), tr("Finding"), tr("Folder")});
    _tree->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    _tree->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    _tree->header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    _tree->header()->setStretchLastSection(false);
    _tree->setRootIsDecorated(true);
    // Uniform rows: a Verify All of thousands of templates lays out at once.
    _tree->setUniformRowHeights(true);
    layout->addWidget(_tree, 1);

    std::vector<const TemplateLibrary::Verification *> ordered;
    for (const TemplateLibrary::Verification &result : results)
        ordered.push_back(&result);
    std::stable_sort(ordered.begin(), ordered.end(), [](const auto *a, const auto *b) {
        return int(standingOf(*a)) < int(standingOf(*b));
    });

    for (const TemplateLibrary::Verification *result : ordered)
        addResult(*result);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

QString TemplateVerificationDialog::finding(const TemplateLibrary::Verification &result)
{
    switch (standingOf(result)) {
    case Standing::Damaged: {
        QStringList parts;
        if (!result.missing.isEmpty())
            parts.append(tr("%n missing", "", int(result.missing.size())));
        if (!result.changed.isEmpty())
            parts.append(tr("%n changed", "", int(result.changed.size())));
        if (!result.added.isEmpty())
            parts.append(tr("%n added", "", int(result.added.size())));
        return parts.join(QStringLiteral(", "));
    }
    case Standing::Added: return tr("intact, %n added", "", int(result.added.size()));
    case Standing::Intact: return tr("intact");
    case Standing::NoReceipt: return tr("no receipt to compare with");
    }
    return {};
}

void TemplateVerificationDialog::addResult(const TemplateLibrary::Verification &result)
{
    const Standing standing = standingOf(result);
    // Folders not named "XX_Title" have no title of their own: their name is it.
    const QString title = result.title.isEmpty() ? result.destination.section(QLatin1Char('/'), -1) : result.title;
    // Templates of one name in several categories are told apart by their folder.
    auto *item = new QTreeWidgetItem(_tree, {title, finding(result), result.destination.section(QLatin1Char('/'), 0, -2)});
    item->setToolTip(0, result.destination);
    item->setForeground(1, colourOf(standing));
    item->setData(0, Qt::UserRole, result.destination);
    const auto addFiles = [item](const QStringList &files, const QString &what, Standing kind) {
        for (const QString &file : files) {
            auto *child = new QTreeWidgetItem(item, {file, what});
            child->setForeground(1, colourOf(kind));
        }
    };
    addFiles(result.missing, tr("missing"), Standing::Damaged);
    addFiles(result.changed, tr("changed"), Standing::Damaged);
    addFiles(result.added, tr("added"), Standing::Added);
    // The damage is what the user came to see.
    item->setExpanded(standing == Standing::Damaged);
}

QString TemplateVerificationDialog::summary(const std::vector<TemplateLibrary::Verification> &results)
{
    const int total = int(results.size());
    int damaged = 0;
    int withoutReceipt = 0;
    for (const TemplateLibrary::Verification &result : results) {
        damaged += standingOf(result) == Standing::Damaged ? 1 : 0;
        withoutReceipt += result.hasReceipt ? 0 : 1;
    }
    if (total == 0)
        return tr("There are no templates to verify.");
    QString text;
    if (withoutReceipt == total)
        text = total == 1 ? tr("No receipt records what was installed for this template, so there is nothing to "
                               "compare it with.")
                          : tr("No receipt records what was installed for these templates, so there is nothing to "
                               "compare them with.");
    else if (damaged == 0)
        text = tr("Every template with a receipt is as it was installed.");
    else if (total == 1)
        text = tr("The template has missing or changed files.");
    else
        text = tr("%1 of %2 templates have missing or changed files.").arg(damaged).arg(total);
    if (withoutReceipt > 0 && withoutReceipt < total)
        text += QLatin1Char(' ')
            + (withoutReceipt == 1 ? tr("1 of them has no receipt to compare with (installed by other means).")
                                   : tr("%1 of them have no receipt to compare with (installed by other means).")
                                         .arg(withoutReceipt));
    return text;
}
