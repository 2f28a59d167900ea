#pragma once

#include "processing/IProcessingPipeline.h"

#include <QString>
#include <QStringList>

namespace ovra::processing {

// Source -> motion processor -> watermark -> analysis result store, or -> staged MP4 plus
// parameters file, published by rename only when everything succeeded.
class VideoProcessingPipeline final : public IProcessingPipeline
{
public:
    project_data::ProcessingResult run(const project_data::ProcessingRequest &request,
                                       const ProgressCallback &progressCallback,
                                       const media::CancellationCheck &cancellationCheck) override;

    // Hidden sibling of target: ".<target name>.<uuid>.<purpose>".
    static QString stagingFileName(const QString &target, const QString &purpose);
    // Creates an empty staging file beside target that nobody else can have chosen.
    static bool reserveStagingFile(const QString &target, const QString &purpose, QString *stagingPath,
                                   QString *errorMessage);
    // Deletes the files that exist; returns a warning for each one that could not be deleted.
    static QString removeFilesQuietly(const QStringList &paths);
    static bool sameFile(const QString &first, const QString &second);
};

} // namespace ovra::processing
