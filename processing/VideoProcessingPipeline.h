// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "media/Cancellation.h"
#include "processing/ProcessingRecords.h"

#include <QCoreApplication>
#include <QString>

namespace ovra::processing {

// Source -> motion processor -> watermark -> analysis result store, or -> staged MP4 plus
// parameters file, published by rename only when everything succeeded. run() goes to its end on
// the calling thread.
class VideoProcessingPipeline
{
    Q_DECLARE_TR_FUNCTIONS(VideoProcessingPipeline)

public:
    project_data::ProcessingResult run(const project_data::ProcessingRequest &request,
                                       const ProgressCallback &progressCallback,
                                       const media::CancellationCheck &cancellationCheck);

    // Both name one file: the same device and inode when both exist, otherwise the same
    // cleaned absolute path (letter case counts).
    static bool sameFile(const QString &first, const QString &second);
};

} // namespace ovra::processing
