// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "processing/MeasurementScale.h"
#include "processing/VibrationMapAnalysis.h"
#include "ui/controllers/JobController.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QObject>
#include <QRectF>
#include <QString>
#include <QUrl>
#include <QtQmlIntegration/qqmlintegration.h>

#include <optional>

namespace ovra::ui::controllers {

class ProcessingSettingsController;
class SpectrumController;
class VideoSessionController;

// Where in the picture the fragment and region move within a band, mapped tile by tile on its
// own low-priority thread. The band is the settings' band, or one around a frequency the user
// picked. Only the latest started run is listened to. A map stays shown, marked stale, when the
// source, fragment, region, capture rate or band change, until the next one replaces it.
class VibrationMapController : public ovra::ui::controllers::JobController
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The application controller owns the vibration map.")
    Q_PROPERTY(State state READ state NOTIFY stateChanged FINAL)
    Q_PROPERTY(bool available READ available NOTIFY stateChanged FINAL)
    Q_PROPERTY(bool ready READ ready NOTIFY stateChanged FINAL)
    Q_PROPERTY(bool stale READ stale NOTIFY stateChanged FINAL)
    Q_PROPERTY(QList<QRectF> tileRects READ tileRects NOTIFY resultChanged FINAL)
    Q_PROPERTY(QString bandText READ bandText NOTIFY resultChanged FINAL)
    Q_PROPERTY(QString largestAmplitudeText READ largestAmplitudeText NOTIFY legendChanged FINAL)
    Q_PROPERTY(QList<QColor> colours READ colours CONSTANT FINAL)
    Q_PROPERTY(QString exportMessage READ exportMessage NOTIFY exportMessageChanged FINAL)

public:
    VibrationMapController(VideoSessionController *videoSession, ProcessingSettingsController *settingsController,
                           SpectrumController *spectrum, QObject *parent = nullptr);
    ~VibrationMapController() override;

    // The one word for what the map is doing, the most urgent fact first; Error means the latest
    // request failed or was refused.
    enum class State {
        Unavailable,
        Available,
        Processing,
        Cancelling,
        Ready,
        Stale,
        Error
    };
    Q_ENUM(State)
    State state() const;

    bool available() const { return m_available; }
    bool ready() const { return m_ready; }
    bool stale() const { return m_stale; }
    // Every tile of the map shown, normalised to the upright frame, in the map's order.
    QList<QRectF> tileRects() const;
    QString bandText() const;
    QString largestAmplitudeText() const;
    static QList<QColor> colours();
    QString exportMessage() const { return m_exportMessage; }
    const processing::VibrationMapResult &result() const { return m_result; }
    // The map's textured tiles in colour over a clear image of the frame, for the viewport.
    const QImage &overlay() const { return m_overlay; }

    // The map of the settings' band; false when nothing was started: already busy with it, or
    // the session, capture rate, fragment or band do not allow a map (errorMessage says why).
    Q_INVOKABLE bool analyze();
    // As analyze, for the band of the shaft-speed helper's half-width around frequencyHz.
    Q_INVOKABLE bool analyzeAround(double frequencyHz);
    // The map again with the band chosen last, for the video, fragment and region in force.
    Q_INVOKABLE bool analyzeAgain() { return start(currentRequest()); }
    Q_INVOKABLE void cancel();

    // The hover text of a tile: its amplitude (in mm too with a scale) and its axis, or that it
    // has no data.
    Q_INVOKABLE QString tileText(int index) const;
    // Starts the spectrum of a small region around the tile, the tile and its neighbours.
    Q_INVOKABLE bool showSpectrumAt(int index);
    // Writes the map's picture to a .png path and its tiles beside it with .csv; nothing is
    // written over an existing file (exportMessage says what happened).
    Q_INVOKABLE bool exportTo(const QUrl &pictureUrl);

    void setMeasurementScale(std::optional<processing::MeasurementScale> scale);
    const std::optional<processing::MeasurementScale> &measurementScale() const { return m_scale; }

    // Stops and joins the worker; also run by the destructor, once.
    void shutdown();

    // The open video's fragment and region at the capture rate in force, with the band around
    // frequencyHz, or without one the settings' band.
    processing::VibrationMapRequest requestAround(std::optional<double> frequencyHz) const;
    // As requestAround, for the band chosen last.
    processing::VibrationMapRequest currentRequest() const { return requestAround(m_pickedFrequencyHz); }
    // What the latest started map was asked, and what the map shown was made of.
    const processing::VibrationMapRequest &latestRequest() const { return m_pendingRequest; }
    const processing::VibrationMapRequest &resultRequest() const { return m_resultRequest; }

signals:
    void resultChanged();
    void legendChanged();
    void exportMessageChanged();

private:
    // A running map of another request is cancelled and replaced.
    bool start(const processing::VibrationMapRequest &request);
    bool computeAvailable() const;
    bool computeStale() const;
    void refreshIfChanged();
    void handleProgress(const project_data::ProcessingProgress &progress);
    void handleFinished(const processing::VibrationMapResult &result);
    void adoptResult(const processing::VibrationMapResult &result);
    void handleSourceChanged();
    QString amplitudeText(double pixels) const;
    void setExportMessage(const QString &message);

    VideoSessionController *m_videoSession = nullptr;
    ProcessingSettingsController *m_settingsController = nullptr;
    SpectrumController *m_spectrum = nullptr;
    std::optional<double> m_pickedFrequencyHz;
    std::optional<processing::MeasurementScale> m_scale;
    processing::VibrationMapRequest m_pendingRequest;
    processing::VibrationMapRequest m_resultRequest;
    processing::VibrationMapResult m_result;
    QImage m_overlay;
    QString m_exportMessage;
    bool m_available = false;
    bool m_ready = false;
    bool m_stale = false;
    bool m_discardPending = false;
};

} // namespace ovra::ui::controllers
