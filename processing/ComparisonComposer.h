// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "motion_core/MotionSettings.h"
#include "processing/ProcessingRecords.h"

#include <QCoreApplication>
#include <QImage>
#include <QSize>
#include <QString>

namespace ovra::processing {

// Puts a source frame and its result into one frame, side by side or one above the other, each
// half labelled in its top left corner, so that a report shows before and after at once. The
// labels are rendered once by prepare; compose only copies pixels.
class ComparisonComposer
{
    Q_DECLARE_TR_FUNCTIONS(ComparisonComposer)

public:
    // The size of the frames a layout makes of frames of frameSize.
    static QSize composedSize(project_data::OutputLayout layout, QSize frameSize);
    static QString sourceLabel();
    // "Magnified ×A, LOW–HIGH Hz" for the settings that made the result.
    static QString resultLabel(const motion_core::MotionSettings &settings);

    // layout must be SideBySide or Stacked.
    bool prepare(project_data::OutputLayout layout, QSize frameSize, const QString &resultLabel,
                 QString *errorMessage = nullptr);
    // Both frames must have the prepared size; composed receives a new image.
    bool compose(const QImage &source, const QImage &result, QImage *composed, QString *errorMessage = nullptr) const;

    QSize composedSize() const { return composedSize(m_layout, m_frameSize); }

private:
    project_data::OutputLayout m_layout = project_data::OutputLayout::Result;
    QSize m_frameSize;
    int m_margin = 0;
    QImage m_sourceLabel;
    QImage m_resultLabel;
};

} // namespace ovra::processing
