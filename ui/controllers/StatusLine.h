// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/controllers/AnalysisController.h"
#include "ui/controllers/ExportController.h"
#include "ui/controllers/PlaybackController.h"
#include "ui/controllers/VideoSessionController.h"

#include <QObject>
#include <QString>
#include <QtQmlIntegration/qqmlintegration.h>

namespace ovra::ui::controllers {

// What the status bar says, derived from the controllers' states in this one place: the first
// fact that applies, most urgent first; the tone of the status dot; whether something runs.
class StatusLine : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString text READ text NOTIFY changed FINAL)
    Q_PROPERTY(Tone tone READ tone NOTIFY changed FINAL)
    Q_PROPERTY(bool active READ active NOTIFY changed FINAL)
    QML_ELEMENT
    QML_UNCREATABLE("The application controller owns the status line.")

public:
    enum class Tone {
        Success,
        Warning,
        Error
    };
    Q_ENUM(Tone)

    // The states and texts the line is made of.
    struct Facts
    {
        ExportController::State exporter = ExportController::State::Unavailable;
        QString exportStage;
        QString exportError;
        QString savedFileName;
        VideoSessionController::AnalysisState session = VideoSessionController::AnalysisState::Empty;
        QString sessionError;
        AnalysisController::State analysis = AnalysisController::State::Unavailable;
        QString analysisStage;
        QString analysisError;
        PlaybackController::State playback = PlaybackController::State::Unavailable;
        bool resultPlayable = false;
        QString playbackError;
        QString resultError;
    };
    static QString textOf(const Facts &facts);
    static Tone toneOf(const Facts &facts);
    static bool activeIn(const Facts &facts);

    StatusLine(ExportController *exporter, VideoSessionController *session, AnalysisController *analysis,
               PlaybackController *playback, QObject *parent = nullptr);

    QString text() const { return m_text; }
    Tone tone() const { return m_tone; }
    bool active() const { return m_active; }

signals:
    void changed();

private:
    Facts currentFacts() const;
    void refresh();

    ExportController *m_exporter;
    VideoSessionController *m_session;
    AnalysisController *m_analysis;
    PlaybackController *m_playback;
    QString m_text;
    Tone m_tone = Tone::Success;
    bool m_active = false;
};

} // namespace ovra::ui::controllers
