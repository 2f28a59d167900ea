// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <functional>

namespace ovra::media {

// Asked by long operations whether the user wants them to stop. May be empty.
using CancellationCheck = std::function<bool()>;

// The sticky cancelled flag every long-running component keeps: once a check said
// "cancel" (or threw), the answer stays true until the next reset. The worker queries and
// resets it; any other thread may mark it or read it, so the flag is atomic.
class CancellationState
{
public:
    explicit CancellationState(CancellationCheck check = {})
        : m_check(std::move(check))
    {
    }

    // Returns the flag if set, otherwise asks the check and remembers its answer.
    bool query();
    bool cancelled() const { return m_cancelled; }
    void markCancelled() { m_cancelled = true; }
    void reset() { m_cancelled = false; }
    const CancellationCheck &check() const { return m_check; }
    // A check for components that may also work on other threads: the calling thread (the
    // worker's) asks the check; any other thread reads the sticky answer it left.
    CancellationCheck sharedCheck();

private:
    CancellationCheck m_check;
    std::atomic<bool> m_cancelled{false};
};

} // namespace ovra::media
