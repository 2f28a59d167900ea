// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "processing/MeasurementScale.h"
#include "processing/VibrationMapAnalysis.h"

#include <QByteArray>
#include <QColor>
#include <QCoreApplication>
#include <QImage>
#include <QList>
#include <QString>

#include <optional>

namespace ovra::processing {

// The files a vibration map is exported to: a table of its tiles and a picture of the source
// frame under it, both published with publishFile.
class VibrationMapExport
{
    Q_DECLARE_TR_FUNCTIONS(VibrationMapExport)

public:
    // One row per tile, positions in pixels of the upright frame; the mm columns stay empty
    // without a scale, and a tile without texture leaves its figures empty.
    static QByteArray csv(const motion_core::VibrationMap &map, const std::optional<MeasurementScale> &scale);
    // The reference frame with the textured tiles coloured by amplitude, a legend in px or mm,
    // and a caption with the file, the fragment, the band and the scale. Needs a GUI application
    // (fonts).
    static QImage picture(const VibrationMapRequest &request, const VibrationMapResult &result,
                          const std::optional<MeasurementScale> &scale);
    // The textured tiles alone, opaque and coloured as in the picture, over a clear image of the
    // upright frame shrunk to at most maximumWidth pixels across, for drawing over the frame.
    static QImage tiles(const motion_core::VibrationMap &map, const QSize &frameSize, int maximumWidth);
    // The colour map from still to strongest, evenly spaced.
    static QList<QColor> colours();
};

} // namespace ovra::processing
