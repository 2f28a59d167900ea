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

using Message = std::function<QString()>;
Q_DECLARE_METATYPE(Message)

namespace {

bool isRussian(const QString &text)
{
    return text.contains(QRegularExpression(QStringLiteral("[А-Яа-яЁё]")));
}

template <typename Source>
QString openFailure(Source &&source)
{
    QString error;
    source.open(QStringLiteral("/nonexistent/video.mp4"), &error);
    return error;
}

} // namespace

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
        QTest::addColumn<Message>("message");
        QTest::addRow("FFmpeg source") << Message([] { return openFailure(ovra::media::libav::LibavVideoSource()); });
        QTest::addRow("time-grid analyser") << Message([] {
            QString error;
            ovra::media::VideoMetadata metadata;
            ovra::media::libav::LibavVideoAnalyzer().analyze(QStringLiteral("/nonexistent/video.mp4"), &metadata,
                                                             &error);
            return error;
        });
        QTest::addRow("sink") << Message([] {
            QString error;
            ovra::media::libav::LibavVideoSink().writeFrame(QImage(), &error);
            return error;
        });
        QTest::addRow("result source") << Message([] {
            QString error;
            ovra::media::VideoFrame frame;
            ovra::project_data::TemporaryVideoSource(nullptr).readFrame(&frame, &error);
            return error;
        });
        QTest::addRow("store") << Message([] {
            QString error;
            ovra::project_data::TemporaryVideo(ovra::media::VideoMetadata()).appendFrame({}, &error);
            return error;
        });
        QTest::addRow("motion core") << Message([] {
            QString error;
            std::vector<ovra::media::VideoFrame> output;
            ovra::motion_core::PhaseMotionProcessor().processFrame({}, &output, &error);
            return error;
        });
        QTest::addRow("settings rules") << Message([] {
            return ovra::processing::settingsValidationMessage(ovra::media::VideoMetadata(),
                                                                ovra::motion_core::MotionSettings(), 0.0);
        });
    }

    void everyLayerSpeaksRussian()
    {
        QFETCH(Message, message);
        const QString text = message();
        QVERIFY2(!text.isEmpty(), "the component gave no message");
        QVERIFY2(isRussian(text), qPrintable(text));
    }

    // A text added to the code without its translation shows up here, not in front of a user.
    void catalogueHasNoUnfinishedTranslation()
    {
        QDirIterator catalogues(QStringLiteral(OVRA_CATALOGUE_FOLDER), {QStringLiteral("*.ts")});
        int count = 0;
        while (catalogues.hasNext()) {
            QFile file(catalogues.next());
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QString content = QString::fromUtf8(file.readAll());
            QVERIFY2(!content.contains(QStringLiteral("type=\"unfinished\"")), qPrintable(file.fileName()));
            ++count;
        }
        QCOMPARE(count, 3);
    }
};

QTEST_GUILESS_MAIN(TranslationsTest)
#include "tst_translations.moc"
