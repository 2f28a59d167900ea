// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestMedia.h"

#include "i18n/Translations.h"
#include "media/VideoMetadata.h"
#include "media/libav/LibavVideoAnalyzer.h"
#include "media/libav/LibavVideoSink.h"
#include "media/libav/LibavVideoSource.h"
#include "motion_core/PhaseMotionProcessor.h"
#include "processing/SettingsValidation.h"
#include "project_data/TemporaryVideo.h"
#include "project_data/TemporaryVideoSource.h"

#include <QDirIterator>
#include <QRegularExpression>
#include <QtTest>

#include <functional>

// Leaves a component's message in its argument.
using Call = std::function<void(QString *)>;
Q_DECLARE_METATYPE(Call)

// Every layer's messages reach a Russian user in Russian: the catalogues load, and each
// component's messages sit in the context it translates them in.
class TranslationsTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<ovra::i18n::InstalledTranslators> m_translators;

private slots:
    void initTestCase()
    {
        m_translators = std::make_unique<ovra::i18n::InstalledTranslators>(QLocale(QLocale::Russian, QLocale::Russia));
        QCOMPARE(m_translators->count(), 3);
    }

    void everyLayerSpeaksRussian_data()
    {
        QTest::addColumn<Call>("call");
        const QString missing = QStringLiteral("/nonexistent/video.mp4");
        QTest::addRow("FFmpeg source")
            << Call([=](QString *e) { ovra::media::libav::LibavVideoSource().open(missing, e); });
        QTest::addRow("time-grid analyser")
            << Call([=](QString *e) { ovra::media::libav::LibavVideoAnalyzer().analyze(missing, nullptr, e); });
        QTest::addRow("sink")
            << Call([](QString *e) { ovra::media::libav::LibavVideoSink().writeFrame(QImage(), e); });
        QTest::addRow("result source")
            << Call([](QString *e) { ovra::project_data::TemporaryVideoSource(nullptr).readFrame(nullptr, e); });
        QTest::addRow("store") << Call([](QString *e) {
            ovra::project_data::TemporaryVideo(ovra::media::VideoMetadata()).appendFrame({}, e);
        });
        QTest::addRow("motion core") << Call([](QString *e) {
            std::vector<ovra::media::VideoFrame> output;
            ovra::motion_core::PhaseMotionProcessor().processFrame({}, &output, e);
        });
        QTest::addRow("settings rules") << Call([](QString *e) {
            *e = ovra::processing::settingsValidationMessage({}, ovra::motion_core::MotionSettings(), 0.0);
        });
    }

    void everyLayerSpeaksRussian()
    {
        QFETCH(Call, call);
        QString text;
        call(&text);
        QVERIFY2(text.contains(QRegularExpression(QStringLiteral("[А-Яа-яЁё]"))), qPrintable("message: " + text));
    }

    // A text added to the code without its translation shows up here, not in front of a user.
    void catalogueHasNoUnfinishedTranslation()
    {
        QDirIterator catalogues(QStringLiteral(OVRA_CATALOGUE_FOLDER), {QStringLiteral("*.ts")});
        int count = 0;
        for (; catalogues.hasNext(); ++count) {
            const QString path = catalogues.next();
            const QByteArray content = ovra::tests::fileContent(path);
            QVERIFY2(content.contains("<TS") && !content.contains("type=\"unfinished\""), qPrintable(path));
        }
        QCOMPARE(count, 3);
    }
};

QTEST_GUILESS_MAIN(TranslationsTest)
#include "tst_translations.moc"
