// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "motion_core/MotionSettings.h"
#include "processing/SettingsValidation.h"

#include <QByteArray>
#include <QObject>
#include <QRectF>
#include <QString>
#include <QVariantMap>
#include <QtQmlIntegration/qqmlintegration.h>

#include <optional>

namespace ovra::project_data {
struct ProcessingRequest;
}

namespace ovra::ui::controllers {

class AnalysisFragmentController;
class VideoSessionController;

// The user's processing settings, validated against the current video and fragment.
// Out-of-range values are stored and reported through the validity properties and messages.
class ProcessingSettingsController : public QObject
{
    Q_OBJECT
    Q_PROPERTY(State state READ state NOTIFY settingsChanged FINAL)
    QML_ELEMENT
    QML_UNCREATABLE("The application controller owns the settings.")
    Q_PROPERTY(bool available READ available NOTIFY settingsChanged FINAL)
    Q_PROPERTY(bool frequencyEditingAvailable READ frequencyEditingAvailable NOTIFY settingsChanged FINAL)
    Q_PROPERTY(bool rotationSpeedValid READ rotationSpeedValid NOTIFY settingsChanged FINAL)
    Q_PROPERTY(bool lowerFrequencyValid READ lowerFrequencyValid NOTIFY settingsChanged FINAL)
    Q_PROPERTY(bool upperFrequencyValid READ upperFrequencyValid NOTIFY settingsChanged FINAL)
    Q_PROPERTY(bool frequencyBandValid READ frequencyBandValid NOTIFY settingsChanged FINAL)
    Q_PROPERTY(bool amplificationValid READ amplificationValid NOTIFY settingsChanged FINAL)
    Q_PROPERTY(bool regionCustomized READ regionCustomized NOTIFY settingsChanged FINAL)
    Q_PROPERTY(bool regionProcessingOptimizationEnabled READ regionProcessingOptimizationEnabled WRITE
                   setRegionProcessingOptimizationEnabled NOTIFY settingsChanged FINAL)
    Q_PROPERTY(bool fragmentDurationSufficient READ fragmentDurationSufficient NOTIFY settingsChanged FINAL)
    Q_PROPERTY(double captureFrameRate READ captureFrameRate NOTIFY settingsChanged FINAL)
    Q_PROPERTY(double nyquistFrequencyHz READ nyquistFrequencyHz NOTIFY settingsChanged FINAL)
    Q_PROPERTY(double nyquistWarningFrequencyHz READ nyquistWarningFrequencyHz NOTIFY settingsChanged FINAL)
    Q_PROPERTY(double maximumFrequencyHz READ maximumFrequencyHz NOTIFY settingsChanged FINAL)
    Q_PROPERTY(double frequencyStepHz READ frequencyStepHz CONSTANT FINAL)
    Q_PROPERTY(double defaultBandHalfWidthPercent READ defaultBandHalfWidthPercent CONSTANT FINAL)
    Q_PROPERTY(double maximumRotationSpeedRpm READ maximumRotationSpeedRpm CONSTANT FINAL)
    Q_PROPERTY(double minimumAmplificationFactor READ minimumAmplificationFactor CONSTANT FINAL)
    Q_PROPERTY(double maximumAmplificationFactor READ maximumAmplificationFactor CONSTANT FINAL)
    Q_PROPERTY(int availableLogicalProcessorCount READ availableLogicalProcessorCount CONSTANT FINAL)
    Q_PROPERTY(int maximumWorkerThreadCount READ maximumWorkerThreadCount CONSTANT FINAL)
    Q_PROPERTY(int workerThreadCount READ workerThreadCount WRITE setWorkerThreadCount NOTIFY settingsChanged FINAL)
    Q_PROPERTY(int effectiveWorkerThreadCount READ effectiveWorkerThreadCount NOTIFY settingsChanged FINAL)
    Q_PROPERTY(double minimumRegionWidth READ minimumRegionWidth NOTIFY settingsChanged FINAL)
    Q_PROPERTY(double minimumRegionHeight READ minimumRegionHeight NOTIFY settingsChanged FINAL)
    Q_PROPERTY(QRectF regionOfInterest READ regionOfInterest NOTIFY settingsChanged FINAL)
    Q_PROPERTY(CameraMotion cameraMotion READ cameraMotion WRITE setCameraMotion NOTIFY settingsChanged FINAL)
    Q_PROPERTY(QRectF referenceRegion READ referenceRegion NOTIFY settingsChanged FINAL)
    Q_PROPERTY(double rotationSpeedRpm READ rotationSpeedRpm WRITE setRotationSpeedRpm NOTIFY settingsChanged FINAL)
    Q_PROPERTY(double harmonic1FrequencyHz READ harmonic1FrequencyHz NOTIFY settingsChanged FINAL)
    Q_PROPERTY(double harmonic2FrequencyHz READ harmonic2FrequencyHz NOTIFY settingsChanged FINAL)
    Q_PROPERTY(double harmonic3FrequencyHz READ harmonic3FrequencyHz NOTIFY settingsChanged FINAL)
    Q_PROPERTY(double lowerFrequencyHz READ lowerFrequencyHz WRITE setLowerFrequencyHz NOTIFY settingsChanged FINAL)
    Q_PROPERTY(double upperFrequencyHz READ upperFrequencyHz WRITE setUpperFrequencyHz NOTIFY settingsChanged FINAL)
    Q_PROPERTY(
        double amplificationFactor READ amplificationFactor WRITE setAmplificationFactor NOTIFY settingsChanged FINAL)
    Q_PROPERTY(QString rotationSpeedValidationMessage READ rotationSpeedValidationMessage NOTIFY settingsChanged FINAL)
    Q_PROPERTY(QString fragmentValidationMessage READ fragmentValidationMessage NOTIFY settingsChanged FINAL)
    Q_PROPERTY(QString validationMessage READ validationMessage NOTIFY settingsChanged FINAL)
    Q_PROPERTY(QString warningMessage READ warningMessage NOTIFY settingsChanged FINAL)

public:
    ProcessingSettingsController(VideoSessionController *session, AnalysisFragmentController *fragment,
                                 QObject *parent = nullptr);

    // Whether the settings can be used: Warning means valid, with a warning to read.
    enum class State {
        Unavailable,
        Invalid,
        Warning,
        Ready
    };
    Q_ENUM(State)
    State state() const;

    // How the camera's own motion is taken out before the motion is measured: not at all, from
    // the whole frame, or from a reference region that stands still in the world.
    enum class CameraMotion {
        Off,
        WholeFrame,
        ReferenceRegion
    };
    Q_ENUM(CameraMotion)

    bool available() const;
    bool frequencyEditingAvailable() const;
    bool settingsValid() const;
    bool rotationSpeedValid() const { return motion_core::rotationSpeedValid(settings()); }
    bool lowerFrequencyValid() const;
    bool upperFrequencyValid() const;
    bool frequencyBandValid() const { return motion_core::bandValid(settings(), captureFrameRate()); }
    bool amplificationValid() const { return motion_core::amplificationValid(settings()); }
    bool regionCustomized() const { return m_regionOfInterest != QRectF(0.0, 0.0, 1.0, 1.0); }
    bool regionProcessingOptimizationEnabled() const { return m_regionProcessingOptimizationEnabled; }
    bool regionValid() const;
    bool nearNyquist() const { return motion_core::nearNyquist(settings(), captureFrameRate()); }
    bool fragmentDurationSufficient() const;
    double captureFrameRate() const;
    double nyquistFrequencyHz() const { return captureFrameRate() * 0.5; }
    double nyquistWarningFrequencyHz() const { return 0.8 * captureFrameRate() * 0.5; }
    double maximumFrequencyHz() const;
    double frequencyStepHz() const { return 0.1; }
    double defaultBandHalfWidthPercent() const { return processing::defaultBandHalfWidthPercent; }
    double maximumRotationSpeedRpm() const { return motion_core::maximumRotationSpeedRpm; }
    double minimumAmplificationFactor() const { return 1.0; }
    double maximumAmplificationFactor() const { return 50.0; }
    int availableLogicalProcessorCount() const;
    int maximumWorkerThreadCount() const;
    int workerThreadCount() const { return m_workerThreadCount; }
    int effectiveWorkerThreadCount() const { return motion_core::effectiveWorkerThreadCount(settings()); }
    double minimumRegionWidth() const;
    double minimumRegionHeight() const;
    QRectF regionOfInterest() const { return m_regionOfInterest; }
    CameraMotion cameraMotion() const { return m_cameraMotion; }
    // Null until the reference region is first chosen for the video.
    QRectF referenceRegion() const { return m_referenceRegion; }
    // The region camera motion is compensated against (the whole frame: 0, 0, 1, 1); none when off.
    std::optional<QRectF> stabilizationReferenceRegion() const;
    // The reference region obeys the amplification region's size rule.
    bool referenceRegionAcceptable(const QRectF &region) const;
    double rotationSpeedRpm() const { return m_rotationSpeedRpm; }
    double harmonic1FrequencyHz() const { return motion_core::harmonicFrequencyHz(settings(), 1); }
    double harmonic2FrequencyHz() const { return motion_core::harmonicFrequencyHz(settings(), 2); }
    double harmonic3FrequencyHz() const { return motion_core::harmonicFrequencyHz(settings(), 3); }
    double lowerFrequencyHz() const { return m_lowerFrequencyHz; }
    double upperFrequencyHz() const { return m_upperFrequencyHz; }
    double amplificationFactor() const { return m_amplificationFactor; }
    // Below the required length a fragment is refused; below the recommended one it is only warned about.
    qint64 recommendedMinimumFrameCount() const;
    qint64 recommendedMinimumDurationUs() const;
    QString rotationSpeedValidationMessage() const;
    QString fragmentValidationMessage() const;
    QString validationMessage() const;
    QString warningMessage() const;

    Q_INVOKABLE void setRotationSpeedRpm(double rotationSpeedRpm);
    Q_INVOKABLE void setLowerFrequencyHz(double lowerFrequencyHz);
    Q_INVOKABLE void setUpperFrequencyHz(double upperFrequencyHz);
    Q_INVOKABLE void setFrequencyBand(double lowerFrequencyHz, double upperFrequencyHz);
    Q_INVOKABLE bool applyRotationBand(int harmonicOrder, double halfWidthPercent);
    // The band +/- halfWidthPercent around any frequency (a peak of the motion spectrum), by the
    // rotation band's rules.
    Q_INVOKABLE bool applyBandAround(double centreHz, double halfWidthPercent);
    // The band applyBandAround would set, as "lowerHz" and "upperHz", shown even when "usable" is
    // false because applyBandAround would refuse it.
    Q_INVOKABLE QVariantMap bandAroundPreview(double centreHz, double halfWidthPercent) const;
    Q_INVOKABLE void setAmplificationFactor(double amplificationFactor);
    Q_INVOKABLE void setWorkerThreadCount(int workerThreadCount);
    Q_INVOKABLE void setRegionProcessingOptimizationEnabled(bool enabled);
    Q_INVOKABLE bool setRegionOfInterest(double x, double y, double width, double height);
    Q_INVOKABLE void useFullFrame();
    // Choosing the reference region before one exists places a default one, so that the user
    // sees it at once and moves it onto something that stands still.
    Q_INVOKABLE void setCameraMotion(CameraMotion cameraMotion);
    Q_INVOKABLE bool setReferenceRegion(double x, double y, double width, double height);
    Q_INVOKABLE void resetToDefaults();

    void setEditingLocked(bool locked) { m_editingLocked = locked; }
    bool editingLocked() const { return m_editingLocked; }
    bool buildRequest(project_data::ProcessingRequest *request, QString *errorMessage) const;
    motion_core::MotionSettings settings() const;

signals:
    void settingsChanged();

private:
    bool storeValue(double *member, double value);
    bool storeBand(double lowerHz, double upperHz);
    void restoreDefaults();
    void notifyIfChanged();
    QByteArray fingerprint() const;
    void handleSourceChanged();
    QRectF defaultReferenceRegion() const;

    bool m_editingLocked = false;
    VideoSessionController *m_session = nullptr;
    AnalysisFragmentController *m_fragment = nullptr;
    QString m_sourcePath;
    double m_rotationSpeedRpm = 700.0;
    double m_lowerFrequencyHz = 9.0;
    double m_upperFrequencyHz = 14.0;
    double m_amplificationFactor = 5.0;
    qint32 m_workerThreadCount = 0;
    bool m_regionProcessingOptimizationEnabled = true;
    QRectF m_regionOfInterest = QRectF(0.0, 0.0, 1.0, 1.0);
    CameraMotion m_cameraMotion = CameraMotion::Off;
    QRectF m_referenceRegion;
    QByteArray m_fingerprint;
};

} // namespace ovra::ui::controllers
