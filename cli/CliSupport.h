// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <cstdio>

namespace ovra::cli {

// The command line's messages, translated like the application's.
struct CommandLineText
{
    Q_DECLARE_TR_FUNCTIONS(CommandLine)
};

enum ExitCode {
    ExitSuccess = 0,
    ExitFailure = 1,
    ExitUsage = 2,
    ExitCancelled = 130,
};

// Writes a line to stderr (user-facing messages, never data).
void printError(const QString &message);
// Writes data to stdout.
void printOutput(const QString &text);

// Reports a usage error with a hint to --help; returns ExitUsage.
int usageError(const QString &command, const QString &message);

// While it lives, Ctrl-C (and SIGTERM) asks the running job to stop cleanly instead of
// killing the process; requested() tells whether it was pressed.
class InterruptGuard
{
public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard &) = delete;
    InterruptGuard &operator=(const InterruptGuard &) = delete;

    static bool requested();

private:
    void (*m_previousInterrupt)(int) = nullptr;
    void (*m_previousTerminate)(int) = nullptr;
};

// One progress line on stderr, redrawn in place; silent when stderr is not a terminal.
class TerminalProgress
{
public:
    TerminalProgress();
    ~TerminalProgress();

    // fraction in [0, 1], or negative when unknown; remainingUs 0 when unknown.
    void update(const QString &stage, double fraction, qint64 remainingUs = 0);
    void finish();

private:
    bool m_enabled = false;
    bool m_drawn = false;
};

} // namespace ovra::cli
