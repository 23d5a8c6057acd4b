// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Installer/TemplateLibrary.h"

#include <QDialog>

#include <vector>

class QLabel;
class QTreeWidget;

// What Verify found, template by template: those with missing or changed
// files first, each with its files named, then those with files added, then
// the intact ones and those without a receipt to compare with.
class TemplateVerificationDialog : public QDialog
{
    Q_OBJECT

public:
    explicit TemplateVerificationDialog(const std::vector<TemplateLibrary::Verification> &results,
                                        QWidget *parent = nullptr);

    // "2 of 14 templates have missing or changed files." and the like.
    static QString summary(const std::vector<TemplateLibrary::Verification> &results);

    QLabel *summaryLabel() const { return _summary; }
    QTreeWidget *resultsTree() const { return _tree; }

private:
    // "2 missing, 1 changed", "intact", ...
    static QString finding(const TemplateLibrary::Verification &result);
    void addResult(const TemplateLibrary::Verification &result);

    QLabel *_summary = nullptr;
    QTreeWidget *_tree = nullptr;
};
