// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "FaultHooks.h"

#include <QThread>

#include <atomic>

#include <unistd.h>

namespace {

FaultHooks::Step sFailStep = FaultHooks::Step::Stage;
qsizetype sFailIndex = -1;
int sHookCalls = 0;
int sKillAtCall = -1;

bool failAtChosenStep(FaultHooks::Step step, qsizetype index)
{
    return step == sFailStep && index == sFailIndex;
}

bool killAtChosenCall(FaultHooks::Step, qsizetype)
{
    if (++sHookCalls == sKillAtCall)
        ::_exit(137);
    return false;
}

std::atomic<int> sDelayMs{0};

bool delayEveryStep(FaultHooks::Step, qsizetype)
{
    QThread::msleep(unsigned(sDelayMs.load()));
    return false;
}

} // namespace

namespace FaultHooks {

void delayEachStep(int ms)
{
    sDelayMs = ms;
    TemplateTransaction::setFaultHook(delayEveryStep);
}

void failAt(Step step, qsizetype index)
{
    sFailStep = step;
    sFailIndex = index;
    TemplateTransaction::setFaultHook(failAtChosenStep);
}

void killAtCall(int call)
{
    sHookCalls = 0;
    sKillAtCall = call;
    TemplateTransaction::setFaultHook(killAtChosenCall);
}

void clear()
{
    TemplateTransaction::setFaultHook(nullptr);
    sFailIndex = -1;
    sKillAtCall = -1;
    sHookCalls = 0;
    sDelayMs = 0;
}

} // namespace FaultHooks
