#include "media/Cancellation.h"

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

} // namespace ovra::media
