// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Common/ProgressListener.h"
#include "Installer/TemplateTransaction.h"

// Faults injected into an install's transaction, for the suites that check
// what an interrupted install leaves. The transaction's hook takes no
// context, so the choice lives here; clear() in every cleanup().
namespace FaultHooks {

using Step = TemplateTransaction::Step;

// The transaction fails (EIO) at `step` of template `index`; -1 for the
// steps that concern no single template.
void failAt(Step step, qsizetype index);
// The process exits with 137, as a kill would end it, at the hook's
// `call`-th call (counting from 1): for a forked child.
void killAtCall(int call);
// Every step takes `ms` longer, as on a slow disk, and none fails: keeps
// an install running while a test looks at it.
void delayEachStep(int ms);
// No hook, nothing chosen.
void clear();

} // namespace FaultHooks

// Answers false at its `call`-th report (counting from 1), never when call < 1.
class CancelAt : public ProgressListener
{
public:
    explicit CancelAt(int call) : _call(call) {}
    bool progress(qint64, qint64) override { return ++calls != _call; }
    int calls = 0;

private:
    int _call;
};
