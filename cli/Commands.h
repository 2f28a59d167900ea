// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

namespace ovra::cli {

// Each command takes its own arguments (the command name first) and returns the exit code.
int runProbe(const QStringList &arguments);
int runFrame(const QStringList &arguments);
int runProcess(const QStringList &arguments);
int runSpectrum(const QStringList &arguments);
int runMap(const QStringList &arguments);

} // namespace ovra::cli
