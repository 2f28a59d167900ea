// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "media/VideoMetadata.h"

#include <QJsonObject>

namespace ovra::cli {

// The metadata record and its derived quantities as one JSON object, each under its own
// name. The timestamps are listed only when asked for; their count is always given.
QJsonObject metadataToJson(const media::VideoMetadata &metadata, int rotationDegrees, bool includeTimestamps);

} // namespace ovra::cli
