// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Installer/TemplateOwnership.h"
#include "Installer/TemplateTransaction.h"

#include <QHash>
#include <QString>

#include <vector>

class EffectTemplateItem;
using EffectTemplateItemList = std::vector<const EffectTemplateItem *>;

// What may be done to copies that are not plainly this archive's. By
// default an install keeps copies the user edited and copies of others
// (other archives' templates, hand copies) and reports them; an uninstall
// keeps others' copies always and edited ones unless told.
struct OwnershipPolicy
{
    bool replaceEdited = false;
    bool replaceForeign = false;
    bool removeEdited = false;
};

// An install's sorting of an archive's templates by the state of their
// installed copies: a copy already in place byte for byte is left (and
// recorded as this archive's); edited and others' copies are kept unless
// the policy says replace, and then go to the Trash.
struct InstallPlan
{
    EffectTemplateItemList toCopy;
    // Named by the receipt: the copied ones and those already in place.
    EffectTemplateItemList recorded;
    // Where each replaced copy goes, by relative destination.
    QHash<QString, TemplateTransaction::Disposal> replaced;
    // The identical count and the kept copies, for the install's report.
    TemplateTransaction::InstallReport report;

    // `copies` answers for `items` one by one (TemplateOwnership::assess);
    // unchanged copies go as `unchanged` says (their archive can give them back).
    static InstallPlan make(const EffectTemplateItemList &items, const std::vector<TemplateOwnership::Copy> &copies,
                            const OwnershipPolicy &policy, TemplateTransaction::Disposal unchanged);
};

// An uninstall's sorting: only this archive's copies are taken; others'
// stay, edited ones stay unless the policy says remove (and then go to the
// Trash). Without a receipt of the archive (`legacy`, an install older than
// receipts) copies that no receipt claims count as its own.
struct RemovalPlan
{
    EffectTemplateItemList own;
    EffectTemplateItemList edited;
    // The kept copies, for the uninstall's report.
    TemplateTransaction::RemovalReport kept;

    static RemovalPlan make(const EffectTemplateItemList &items, const std::vector<TemplateOwnership::Copy> &copies,
                            const OwnershipPolicy &policy, bool legacy);
};
