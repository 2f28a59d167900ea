// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "media/VideoMetadata.h"
#include "processing/ProcessingRecords.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

namespace ovra::processing {

// Writes the JSON file that records how an exported video was made.
class ProcessingParametersWriter
{
    Q_DECLARE_TR_FUNCTIONS(ProcessingParametersWriter)

public:
    // captureFps is the capture rate the run used; processedFrameCount the frames it read;
    // cameraMotion what its camera motion compensation measured, when it compensated.
    static QByteArray buildParametersDocument(const project_data::ProcessingRequest &parametersRequest,
                                              const media::VideoMetadata &openedMetadata, double captureFps,
                                              qint64 processedFrameCount,
                                              const std::optional<motion_core::CameraMotionSummary> &cameraMotion);

    // Fills the empty staging file the pipeline reserved. Every failure after the
    // reservation was checked deletes the file.
    static bool writeStagingFile(const QString &stagingPath, const project_data::ProcessingRequest &parametersRequest,
                                 const media::VideoMetadata &openedMetadata, double captureFps,
                                 qint64 processedFrameCount,
                                 const std::optional<motion_core::CameraMotionSummary> &cameraMotion,
                                 QString *errorMessage = nullptr);
};

} // namespace ovra::processing
