// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CliSupport.h"
#include "processing/ProcessingRecords.h"

#include <optional>

namespace ovra::cli {

// A run's progress records as the terminal's progress line.
inline processing::ProgressCallback progressOnTerminal(TerminalProgress &progress)
{
    return [&progress](const project_data::ProcessingProgress &update) {
        progress.update(update.stageName, update.fraction());
    };
}

// The exit code of a finished run that did not succeed, after saying why on stderr; nothing
// when it succeeded.
template <typename Result> std::optional<int> failedRunExit(const Result &result, const QString &cancelledMessage)
{
    if (result.state == project_data::ProcessingState::Cancelled) {
        printError(cancelledMessage);
        return ExitCancelled;
    }
    if (!result.succeeded()) {
        printError(result.errorMessage);
        return ExitFailure;
    }
    return std::nullopt;
}

} // namespace ovra::cli
