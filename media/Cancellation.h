#pragma once

#include <functional>

namespace ovra::media {

// Asked by long operations whether the user wants them to stop. May be empty.
using CancellationCheck = std::function<bool()>;

// The sticky cancelled flag every long-running component keeps: once a check said
// "cancel" (or threw), the answer stays true until the next reset.
class CancellationState
{
public:
    explicit CancellationState(CancellationCheck check = {}) : m_check(std::move(check)) {}

    // Returns the flag if set, otherwise asks the check and remembers its answer.
    bool query();
    bool cancelled() const { return m_cancelled; }
    void markCancelled() { m_cancelled = true; }
    void reset() { m_cancelled = false; }
    const CancellationCheck &check() const { return m_check; }

private:
    CancellationCheck m_check;
    bool m_cancelled = false;
};

} // namespace ovra::media
