// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Installer/OwnershipPlan.h"

#include "Installer/EffectTemplateItem.h"
#include "Installer/TransactionSupport.h"

InstallPlan InstallPlan::make(const EffectTemplateItemList &items, const std::vector<TemplateOwnership::Copy> &copies,
                              const OwnershipPolicy &policy, TemplateTransaction::Disposal unchanged)
{
    using TemplateOwnership::State;
    InstallPlan plan;
    // The report lists edited copies' owners before foreign ones'.
    QStringList foreignOwners;
    for (size_t i = 0; i < items.size(); ++i) {
        const EffectTemplateItem *item = items[i];
        const State state = copies[i].state;
        if (state == State::Edited && !policy.replaceEdited) {
            plan.report.keptEdited.append(item->relativeDestinationPath());
            plan.report.keptOwners.append(copies[i].owner);
            continue;
        }
        if (state == State::Foreign && copies[i].identical) {
            // Already in place as another archive's: left to it.
            ++plan.report.identical;
            continue;
        }
        if (state == State::Foreign && !policy.replaceForeign) {
            plan.report.keptForeign.append(item->relativeDestinationPath());
            foreignOwners.append(copies[i].owner);
            continue;
        }
        plan.recorded.push_back(item);
        if (state == State::Identical) {
            ++plan.report.identical;
            continue;
        }
        plan.toCopy.push_back(item);
        plan.replaced.insert(TemplateTransaction::Support::relativeDestination(item->relativeDestinationPath()),
                             state == State::Unchanged ? unchanged : TemplateTransaction::Disposal::Trash);
    }
    plan.report.keptOwners += foreignOwners;
    return plan;
}

RemovalPlan RemovalPlan::make(const EffectTemplateItemList &items, const std::vector<TemplateOwnership::Copy> &copies,
                              const OwnershipPolicy &policy, bool legacy)
{
    using TemplateOwnership::State;
    RemovalPlan plan;
    QStringList foreignOwners;
    for (size_t i = 0; i < items.size(); ++i) {
        // A copy only missing files holds nothing of the user's to lose.
        const State state = copies[i].onlyRemovals ? State::Unchanged : copies[i].state;
        if (state == State::Edited && !policy.removeEdited) {
            plan.kept.keptEdited.append(items[i]->relativeDestinationPath());
            plan.kept.keptOwners.append(copies[i].owner);
        } else if (state == State::Edited) {
            plan.edited.push_back(items[i]);
        } else if (state == State::Foreign && !(legacy && copies[i].owner.isEmpty())) {
            plan.kept.keptForeign.append(items[i]->relativeDestinationPath());
            foreignOwners.append(copies[i].owner);
        } else {
            plan.own.push_back(items[i]);
        }
    }
    plan.kept.keptOwners += foreignOwners;
    return plan;
}
