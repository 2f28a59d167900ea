// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QSocketNotifier>

namespace ovra::app {

// Turns SIGTERM, SIGINT and SIGHUP into an orderly quit of the event loop, so that the
// objects of main, the diagnostics descriptor among them, are destroyed as on a normal exit.
class TerminationSignals : public QObject
{
public:
    TerminationSignals();
    ~TerminationSignals() override;

private:
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace ovra::app
