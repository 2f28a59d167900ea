// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "processing/MotionSpectrumAnalysis.h"
#include "ui/controllers/JobController.h"

#include <QList>
#include <QObject>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QtQmlIntegration/qqmlintegration.h>

#include <optional>

namespace ovra::ui::controllers {

class ProcessingSettingsController;
class VideoSessionController;

// The motion spectrum of the current fragment and region, analysed on its own low-priority
// thread at the capture frame rate in force; a peak the user picks becomes the frequency band.
// Only the latest started run is listened to. A result stays shown, marked stale, when the
// fragment, the region or the capture rate change, until the next one replaces it.
class SpectrumController : public ovra::ui::controllers::JobController
{
    Q_OBJECT
    Q_PROPERTY(State state READ state NOTIFY stateChanged FINAL)
    QML_ELEMENT
    QML_UNCREATABLE("The application controller owns the spectrum.")
    Q_PROPERTY(bool available READ available NOTIFY stateChanged FINAL)
    Q_PROPERTY(bool ready READ ready NOTIFY stateChanged FINAL)
    Q_PROPERTY(bool stale READ stale NOTIFY stateChanged FINAL)
    Q_PROPERTY(QList<double> frequencies READ frequencies NOTIFY resultChanged FINAL)
    Q_PROPERTY(QList<double> amplitudes READ amplitudes NOTIFY resultChanged FINAL)
    Q_PROPERTY(QList<double> noiseFloor READ noiseFloor NOTIFY resultChanged FINAL)
    Q_PROPERTY(QList<double> peakFrequencies READ peakFrequencies NOTIFY resultChanged FINAL)
    Q_PROPERTY(QList<double> peakAmplitudes READ peakAmplitudes NOTIFY resultChanged FINAL)
    Q_PROPERTY(QList<double> peakDirections READ peakDirections NOTIFY resultChanged FINAL)
    // Each peak's amplitude in mm (or µm) and its velocity in mm/s; empty without a scale.
    Q_PROPERTY(QStringList peakMillimetreTexts READ peakMillimetreTexts NOTIFY peakMillimetreTextsChanged FINAL)
    Q_PROPERTY(QString exportMessage READ exportMessage NOTIFY exportMessageChanged FINAL)
    Q_PROPERTY(double resolutionHz READ resolutionHz NOTIFY resultChanged FINAL)
    Q_PROPERTY(double nyquistHz READ nyquistHz NOTIFY resultChanged FINAL)
    Q_PROPERTY(int segmentCount READ segmentCount NOTIFY resultChanged FINAL)
    Q_PROPERTY(qint64 analysedFrames READ analysedFrames NOTIFY resultChanged FINAL)
    Q_PROPERTY(bool spot READ spot NOTIFY stateChanged FINAL)

public:
    SpectrumController(VideoSessionController *videoSession, ProcessingSettingsController *settingsController,
                       QObject *parent = nullptr);
    ~SpectrumController() override;

    // The one word for what the spectrum is doing, the most urgent fact first; Error means the
    // latest request failed or was refused.
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
    QList<double> frequencies() const;
    QList<double> amplitudes() const;
    QList<double> noiseFloor() const;
    QList<double> peakFrequencies() const;
    QList<double> peakAmplitudes() const;
    QList<double> peakDirections() const;
    QStringList peakMillimetreTexts() const;
    QString exportMessage() const { return m_exportMessage; }
    double resolutionHz() const { return m_spectrum.resolutionHz; }
    double nyquistHz() const { return m_spectrum.nyquistHz(); }
    int segmentCount() const { return m_spectrum.segmentCount; }
    qint64 analysedFrames() const { return m_analysedFrames; }
    const motion_core::MotionSpectrum &spectrum() const { return m_spectrum; }

    // False when nothing was started: already busy, or the session, capture rate or fragment
    // do not allow an analysis (errorMessage then says why).
    Q_INVOKABLE bool analyze();
    // As analyze, for a small region of the frame instead of the settings' one, such as a spot of
    // the vibration map; analyze returns to the settings' region.
    Q_INVOKABLE bool analyzeSpot(const QRectF &region);
    // As analyze, or as analyzeSpot for the spot of the spectrum shown.
    Q_INVOKABLE bool analyzeAgain() { return start(expectedRequest(0.0)); }
    // True while the spectrum is, or is to be, of a spot rather than of the settings' region.
    bool spot() const { return m_spotRegion.has_value(); }
    // As analyze, for a request of currentRequest at another resolution; a running analysis of
    // another request is cancelled and replaced.
    bool analyze(const processing::MotionSpectrumRequest &request);
    Q_INVOKABLE void cancel();
    // The band around the peak (strongest first) of a current spectrum.
    Q_INVOKABLE bool selectPeak(int index);
    // The band around frequencyHz with the half-width of the shaft-speed helper, through the
    // settings and their rules (editing lock, Nyquist).
    Q_INVOKABLE bool applyPeak(double frequencyHz);
    // Writes every bin of the current spectrum as CSV, never over a file; exportMessage says
    // where it went or why it did not.
    Q_INVOKABLE bool exportCsv(const QUrl &fileUrl);

    // The scale the peaks and the CSV show millimetres in; none: pixels only.
    void setMeasurementScale(const std::optional<processing::MeasurementScale> &scale);
    std::optional<processing::MeasurementScale> measurementScale() const { return m_measurementScale; }

    // Stops and joins the worker; also run by the destructor, once.
    void shutdown();

    // The open video's fragment and region at the capture rate in force.
    processing::MotionSpectrumRequest currentRequest(double resolutionHz = 0.0) const;
    // What the latest started analysis was asked, and what the spectrum shown was made of.
    const processing::MotionSpectrumRequest &latestRequest() const { return m_pendingRequest; }
    const processing::MotionSpectrumRequest &resultRequest() const { return m_resultRequest; }

signals:
    void resultChanged();
    void peakMillimetreTextsChanged();
    void exportMessageChanged();

private:
    // The request the spectrum shown should answer: of the spot, or of the settings' region.
    processing::MotionSpectrumRequest expectedRequest(double resolutionHz) const;
    bool start(const processing::MotionSpectrumRequest &request);
    bool computeAvailable() const;
    bool computeStale() const;
    void refreshIfChanged();
    void handleProgress(const project_data::ProcessingProgress &progress);
    void handleFinished(const processing::MotionSpectrumResult &result);
    void adoptResult(const processing::MotionSpectrumResult &result);
    void handleSourceChanged();
    void finishRun();

    VideoSessionController *m_videoSession = nullptr;
    ProcessingSettingsController *m_settingsController = nullptr;
    std::optional<QRectF> m_spotRegion;
    processing::MotionSpectrumRequest m_pendingRequest;
    processing::MotionSpectrumRequest m_resultRequest;
    motion_core::MotionSpectrum m_spectrum;
    qint64 m_analysedFrames = 0;
    QString m_exportMessage;
    std::optional<processing::MeasurementScale> m_measurementScale;
    bool m_available = false;
    bool m_ready = false;
    bool m_stale = false;
    bool m_discardPending = false;
};

} // namespace ovra::ui::controllers
