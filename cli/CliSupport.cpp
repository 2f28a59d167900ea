// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliSupport.h"

#include <QTextStream>

#include <atomic>
#include <cmath>
#include <csignal>
#include <unistd.h>

namespace ovra::cli {

namespace {

std::atomic<bool> interruptRequested{false};

extern "C" void requestInterrupt(int)
{
    interruptRequested = true;
}

} // namespace

InterruptGuard::InterruptGuard()
{
    interruptRequested = false;
    m_previousInterrupt = std::signal(SIGINT, requestInterrupt);
    m_previousTerminate = std::signal(SIGTERM, requestInterrupt);
}

InterruptGuard::~InterruptGuard()
{
    std::signal(SIGINT, m_previousInterrupt);
    std::signal(SIGTERM, m_previousTerminate);
}

bool InterruptGuard::requested()
{
    return interruptRequested.load();
}

void printError(const QString &message)
{
    QTextStream(stderr) << message << Qt::endl;
}

void printOutput(const QString &text)
{
    QTextStream(stdout) << text << Qt::endl;
}

int usageError(const QString &command, const QString &message)
{
    printError(QStringLiteral("ovra-motion-cli %1: %2").arg(command, message));
    printError(CommandLineText::tr("Run 'ovra-motion-cli %1 --help' for usage.").arg(command));
    return ExitUsage;
}

TerminalProgress::TerminalProgress()
    : m_enabled(isatty(STDERR_FILENO) == 1)
{
}

TerminalProgress::~TerminalProgress()
{
    finish();
}

void TerminalProgress::update(const QString &stage, double fraction, qint64 remainingUs)
{
    if (!m_enabled)
        return;
    constexpr int barWidth = 30;
    QString line = stage.leftJustified(24);
    if (fraction >= 0.0) {
        const double clamped = std::min(fraction, 1.0);
        const int filled = static_cast<int>(std::lround(clamped * barWidth));
        line += QStringLiteral(" [%1%2] %3%")
                    .arg(QString(filled, QLatin1Char('#')), QString(barWidth - filled, QLatin1Char('.')))
                    .arg(std::floor(clamped * 100.0), 3, 'f', 0);
    } else {
        line += QStringLiteral(" [%1]").arg(QString(barWidth, QLatin1Char('?')));
    }
    if (remainingUs > 0) {
        const qint64 seconds = (remainingUs + 500'000) / 1'000'000;
        line += CommandLineText::tr("  %1:%2 left").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
    }
    QTextStream(stderr) << '\r' << line << QStringLiteral("\x1b[K") << Qt::flush;
    m_drawn = true;
}

void TerminalProgress::finish()
{
    if (m_drawn)
        QTextStream(stderr) << '\n' << Qt::flush;
    m_drawn = false;
}

} // namespace ovra::cli
