// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "processing/MeasurementScale.h"

#include <QLineF>
#include <QObject>
#include <QPointF>
#include <QString>
#include <QtQmlIntegration/qqmlintegration.h>

#include <optional>

namespace ovra::ui::controllers {

class VideoSessionController;

// The millimetres per pixel of the open video, typed or calibrated from a line the user draws
// over something of known length and that length. The line is kept normalised to the upright
// frame and measured in pixels of the aspect-corrected frame. A refused entry says why and keeps
// the scale in force; another video starts without a scale.
class MeasurementScaleController : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The application controller owns the measurement scale.")
    Q_PROPERTY(Origin origin READ origin NOTIFY scaleChanged FINAL)
    Q_PROPERTY(double millimetresPerPixel READ millimetresPerPixel NOTIFY scaleChanged FINAL)
    Q_PROPERTY(bool hasLine READ hasLine NOTIFY lineChanged FINAL)
    Q_PROPERTY(QPointF lineStart READ lineStart NOTIFY lineChanged FINAL)
    Q_PROPERTY(QPointF lineEnd READ lineEnd NOTIFY lineChanged FINAL)
    Q_PROPERTY(double linePixels READ linePixels NOTIFY lineChanged FINAL)
    Q_PROPERTY(double lineMillimetres READ lineMillimetres NOTIFY lineChanged FINAL)
    Q_PROPERTY(QString message READ message NOTIFY messageChanged FINAL)

public:
    explicit MeasurementScaleController(VideoSessionController *videoSession, QObject *parent = nullptr);

    // Where the scale in force came from; None without one.
    enum class Origin {
        None,
        Typed,
        Line
    };
    Q_ENUM(Origin)
    Origin origin() const;

    std::optional<processing::MeasurementScale> scale() const { return m_scale; }
    double millimetresPerPixel() const { return m_scale ? m_scale->millimetresPerPixel : 0.0; }
    bool hasLine() const { return !m_line.isNull(); }
    QPointF lineStart() const { return m_line.p1(); }
    QPointF lineEnd() const { return m_line.p2(); }
    // The line's length in pixels of the upright, aspect-corrected frame.
    double linePixels() const;
    // The known length the line spans; 0 until it is typed.
    double lineMillimetres() const { return m_lineMillimetres; }
    QString message() const { return m_message; }

    // Each returns false, with a message, for an entry it refuses; the scale then stays.
    Q_INVOKABLE bool setTypedScale(double millimetresPerPixel);
    // Ends normalised to the upright frame (0..1, origin top-left). With a known length typed,
    // the line sets the scale at once.
    Q_INVOKABLE bool setLine(QPointF start, QPointF end);
    Q_INVOKABLE bool setLineMillimetres(double millimetres);
    Q_INVOKABLE void clear();

signals:
    void scaleChanged();
    void lineChanged();
    void messageChanged();

private:
    QLineF pixelLine(const QLineF &normalised) const;
    bool refuse(const QString &message);
    void setMessage(const QString &message);
    void setScale(const std::optional<processing::MeasurementScale> &scale);
    void calibrateFromLine();

    VideoSessionController *m_videoSession = nullptr;
    std::optional<processing::MeasurementScale> m_scale;
    QLineF m_line; // normalised; null: none drawn
    double m_lineMillimetres = 0.0;
    QString m_message;
};

} // namespace ovra::ui::controllers
