// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QtQmlIntegration/qqmlintegration.h>

namespace ovra::ui::controllers {

class VideoSessionController;

// The half-open frame range [startFrame, endFrameExclusive) of the source that gets analysed.
class AnalysisFragmentController : public QObject
{
    Q_OBJECT
    Q_PROPERTY(State state READ state NOTIFY rangeChanged FINAL)
    QML_ELEMENT
    QML_UNCREATABLE("The application controller owns the fragment.")
    Q_PROPERTY(bool available READ available NOTIFY rangeChanged FINAL)
    Q_PROPERTY(bool autoStartAdjusted READ autoStartAdjusted NOTIFY rangeChanged FINAL)
    Q_PROPERTY(qint64 startFrame READ startFrame NOTIFY rangeChanged FINAL)
    Q_PROPERTY(qint64 endFrameExclusive READ endFrameExclusive NOTIFY rangeChanged FINAL)
    Q_PROPERTY(qint64 selectedFrameCount READ selectedFrameCount NOTIFY rangeChanged FINAL)

public:
    explicit AnalysisFragmentController(VideoSessionController *session, QObject *parent = nullptr);

    enum class State {
        Unavailable,
        Invalid,
        Ready
    };
    Q_ENUM(State)
    State state() const;

    bool available() const { return m_frameCount >= 2; }
    bool rangeCustomized() const { return m_rangeCustomized; }
    bool autoStartAdjusted() const { return !m_rangeCustomized && m_startFrame >= 1 && selectionValid(); }
    bool selectionValid() const;
    bool physicalTimingAvailable() const;
    qint64 startFrame() const { return m_startFrame; }
    qint64 endFrameExclusive() const { return m_endFrameExclusive; }
    qint64 selectedFrameCount() const { return selectionValid() ? m_endFrameExclusive - m_startFrame : 0; }
    qint64 playbackStartUs() const { return selectionValid() ? playbackTimeUs(m_startFrame) : 0; }
    qint64 playbackEndUs() const { return selectionValid() ? playbackTimeUs(m_endFrameExclusive) : 0; }
    qint64 playbackDurationUs() const;
    qint64 physicalDurationUs() const;

    void setEditingLocked(bool locked) { m_editingLocked = locked; }
    bool editingLocked() const { return m_editingLocked; }

    Q_INVOKABLE bool setRangeFrames(qint64 startFrame, qint64 endFrameExclusive);
    Q_INVOKABLE bool setStartFrame(qint64 frameIndex);
    Q_INVOKABLE bool setEndFrameInclusive(qint64 frameIndex);
    Q_INVOKABLE void clearRange();

signals:
    void rangeChanged();

private:
    qint64 playbackTimeUs(qint64 frameIndex) const;
    bool editable() const { return !m_editingLocked && m_frameCount >= 2; }
    // Clamps the start into the video and keeps at least two frames; stores and marks customised.
    bool applyRange(qint64 start, qint64 requestedEnd);
    void synchronise();

    bool m_editingLocked = false;
    VideoSessionController *m_session = nullptr;
    QString m_sourcePath;
    qint64 m_frameCount = 0;
    qint64 m_durationUs = 0;
    qint64 m_startFrame = 0;
    qint64 m_endFrameExclusive = 0;
    double m_playbackFrameRate = 0.0;
    double m_captureFrameRate = 0.0;
    bool m_captureFrameRateKnown = false;
    bool m_captureTimingMapRequired = false;
    bool m_rangeCustomized = false;
};

} // namespace ovra::ui::controllers
