#include "media/Cancellation.h"

namespace ovra::media {

bool CancellationState::query()
{
    if (m_cancelled || !m_check)
        return m_cancelled;
    try {
        m_cancelled = m_check();
    } catch (...) {
        m_cancelled = true;
    }
    return m_cancelled;
}

} // namespace ovra::media
