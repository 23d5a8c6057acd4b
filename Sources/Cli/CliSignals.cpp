// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Cli/CliSignals.h"

#include <atomic>
#include <csignal>

namespace {

// Only an atomic store is safe in a handler; the work notices at its next
// progress report and undoes itself.
std::atomic<int> sReceived{0};

void onSignal(int signal)
{
    sReceived.store(signal);
}

} // namespace

namespace CliSignals {

void install()
{
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // The second one takes the default action: a user who insists is obeyed.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

int received()
{
    return sReceived.load();
}

const char *name(int signal)
{
    switch (signal) {
    case SIGINT:
        return "SIGINT";
    case SIGTERM:
        return "SIGTERM";
    default:
        return "a signal";
    }
}

} // namespace CliSignals
