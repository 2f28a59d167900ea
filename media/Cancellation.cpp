// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/Cancellation.h"

#include <thread>

namespace ovra::media {

bool CancellationState::query()
{
    if (m_cancelled || !m_check)
        return m_cancelled;
    bool cancel = true;
    try {
        cancel = m_check();
    } catch (...) {
        // A check that throws counts as a request to cancel.
    }
    // Never clears a mark another thread set meanwhile.
    if (cancel)
        m_cancelled = true;
    return m_cancelled;
}

CancellationCheck CancellationState::sharedCheck()
{
    return [this, owner = std::this_thread::get_id()] {
        return std::this_thread::get_id() == owner ? query() : cancelled();
    };
}

} // namespace ovra::media
