// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "media/VideoFrame.h"
#include "media/VideoMetadata.h"
#include "project_data/BlockAlignedFile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QList>
#include <QSize>
#include <QString>
#include <QTransform>

#include <memory>
#include <vector>

class QLockFile;

namespace ovra::project_data {

// The frames of one analysis result, stored uncompressed in a private directory under the
// user's own root in the system temporary folder. A lock file in the directory marks it as owned by this
// process for the store's whole life; cleanupStale removes directories whose owner no longer
// runs. One thread creates, appends and finishes; after finish any number of threads may read.
// Destruction removes the files.
class AnalysisResult
{
    Q_DECLARE_TR_FUNCTIONS(AnalysisResult)

public:
    // firstFrameIndex: the source frame the first stored frame was made from. expectedFrameCount:
    // how many frames the run means to store; their disk space is set aside at creation. A store
    // larger than the memory could keep cached is written past the page cache: it would be read
    // back from the disk anyway.
    explicit AnalysisResult(media::VideoMetadata metadata, qint64 firstFrameIndex = 0, qint64 expectedFrameCount = 0);
    ~AnalysisResult();
    AnalysisResult(const AnalysisResult &) = delete;
    AnalysisResult &operator=(const AnalysisResult &) = delete;

    bool create(QString *errorMessage = nullptr);
    // Stores the image as ARGB32 together with the frame's time and index, in a record of its
    // own whose header and pixels each start on a 4 KB boundary.
    bool appendFrame(const media::VideoFrame &frame, QString *errorMessage = nullptr);
    bool finish(QString *errorMessage = nullptr);

    qint64 frameCount() const { return m_offsets.size(); }
    // The fragment of the source the store holds: [firstFrameIndex, firstFrameIndex + frameCount).
    qint64 firstFrameIndex() const { return m_firstFrameIndex; }
    // Needs a finished store; every call reads through its own file handle.
    bool readFrame(qint64 index, media::VideoFrame *frame, QString *errorMessage = nullptr) const;

    const media::VideoMetadata &metadata() const { return m_metadata; }
    QDateTime finishedAt() const { return m_finishedAt; }
    qint64 storageBytes() const { return m_framesFile.size(); }
    // Absolute path of the result directory; empty until create succeeded.
    QString directory() const { return m_directory; }
    // With camera motion compensation: per stored frame, the transform from a pixel of the
    // stabilised frame to the pixel of the source frame it was taken from. Set once, before
    // the store is shared.
    void setCameraTransforms(std::vector<QTransform> transforms) { m_cameraTransforms = std::move(transforms); }
    const std::vector<QTransform> &cameraTransforms() const { return m_cameraTransforms; }

    // The temporary folder's "ovra-motion-results-v1-UID", UID being the user's id.
    static QString storeRoot();
    static void cleanupStale();

    // Disk space a store of frameCount frames of frameSize takes (saturating at the int64 limit).
    static qint64 requiredStorageBytes(QSize frameSize, qint64 frameCount);
    // Whether the temporary folder has room for such a store. A 1080p frame takes 8 MB, so a
    // run checks this before its first frame instead of failing when the disk fills up.
    static bool checkFreeSpace(QSize frameSize, qint64 frameCount, QString *errorMessage = nullptr);

private:
    media::VideoMetadata m_metadata;
    qint64 m_firstFrameIndex = 0;
    qint64 m_expectedFrameCount = 0;
    QString m_directory;
    std::unique_ptr<QLockFile> m_ownerLock;
    BlockAlignedFile m_framesFile;
    QList<qint64> m_offsets;
    QDateTime m_finishedAt;
    std::vector<QTransform> m_cameraTransforms;
};

} // namespace ovra::project_data
