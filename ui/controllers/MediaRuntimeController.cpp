// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/controllers/MediaRuntimeController.h"

#include "media/libav/LibavRuntime.h"

namespace ovra::ui::controllers {

using media::libav::LibavRuntime;

MediaRuntimeController::MediaRuntimeController(QObject *parent)
    : QObject(parent)
    , m_versionSummary(LibavRuntime::versionSummary())
{
    m_available = LibavRuntime::checkCompatibility(&m_errorMessage);
}

} // namespace ovra::ui::controllers
