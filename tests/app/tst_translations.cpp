// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestMedia.h"

#include "i18n/Translations.h"
#include "media/VideoMetadata.h"
#include "media/libav/LibavVideoAnalyzer.h"
#include "media/libav/LibavVideoSink.h"
#include "media/libav/LibavVideoSource.h"
#include "motion_core/PhaseMotionProcessor.h"
#include "processing/SettingsValidation.h"
#include "project_data/AnalysisResult.h"
#include "project_data/AnalysisResultSource.h"

#include <QDirIterator>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <QtTest>

#include <functional>

// Leaves a component's message in its argument.
using Call = std::function<void(QString *)>;
Q_DECLARE_METATYPE(Call)

namespace {

const QString sourceRoot = QStringLiteral(OVRA_CATALOGUE_FOLDER "/..");

// Every text the catalogues know, in any context.
QSet<QString> cataloguedTexts()
{
    QSet<QString> texts;
    QDirIterator catalogues(QStringLiteral(OVRA_CATALOGUE_FOLDER), {QStringLiteral("*.ts")});
    while (catalogues.hasNext()) {
        QXmlStreamReader reader(ovra::tests::fileContent(catalogues.next()));
        while (reader.readNextStartElement() || !reader.atEnd()) {
            if (reader.isStartElement() && reader.name() == QLatin1String("source"))
                texts.insert(reader.readElementText());
        }
    }
    return texts;
}

// Reads the literal text at *at: adjacent C++ string literals, or JavaScript ones joined by "+";
// nothing when the argument is anything else.
std::optional<QString> readLiteral(const QString &code, qsizetype *at)
{
    static const QRegularExpression literal(R"re(\G\s*(\+\s*)?("(?:[^"\\]|\\.)*"|'(?:[^'\\]|\\.)*'))re");
    static const QRegularExpression escape(R"re(\\(.))re");
    std::optional<QString> text;
    for (auto match = literal.match(code, *at); match.hasMatch() && (text || !match.hasCaptured(1));
         match = literal.match(code, *at)) {
        const QString quoted = match.captured(2);
        text = text.value_or(QString())
            + quoted.mid(1, quoted.size() - 2)
                  .replace(QLatin1String("\\n"), QLatin1String("\n"))
                  .replace(escape, "\\1");
        *at = match.capturedEnd();
    }
    return text;
}

bool skipComma(const QString &code, qsizetype *at)
{
    static const QRegularExpression comma(R"re(\G\s*,)re");
    const QRegularExpressionMatch match = comma.match(code, *at);
    *at = match.capturedEnd();
    return match.hasMatch();
}

// The translation calls of a source file whose text lupdate cannot see or has not collected.
QStringList textsMissingFromTheCatalogues(const QString &path, const QSet<QString> &catalogued)
{
    static const QRegularExpression call(
        R"re((?<![\w.>])(qsTr|tr|QT_TR_NOOP|qsTranslate|translate|QT_TRANSLATE_NOOP)\s*\()re");
    const QString code = QString::fromUtf8(ovra::tests::fileContent(path));
    QStringList faults;
    for (const QRegularExpressionMatch &match : call.globalMatch(code)) {
        qsizetype at = match.capturedEnd();
        const bool withContext = match.captured(1).contains(QLatin1String("translate"), Qt::CaseInsensitive);
        const bool contextRead = !withContext || (readLiteral(code, &at) && skipComma(code, &at));
        const std::optional<QString> text = contextRead ? readLiteral(code, &at) : std::nullopt;
        const QString where = QStringLiteral("%1:%2: ").arg(path).arg(code.left(match.capturedStart()).count('\n') + 1);
        if (!text)
            faults += where + QStringLiteral("the text is not a literal");
        else if (!catalogued.contains(*text))
            faults += where + QStringLiteral("not in a catalogue: ") + *text;
    }
    return faults;
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
        QCOMPARE(m_translators->count(), 4); // ours and Qt's
    }

    void everyLayerSpeaksRussian_data()
    {
        QTest::addColumn<Call>("call");
        const QString missing = QStringLiteral("/nonexistent/video.mp4");
        QTest::addRow("FFmpeg source") << Call(
            [=](QString *e) { ovra::media::libav::LibavVideoSource().open(missing, e); });
        QTest::addRow("time-grid analyser")
            << Call([=](QString *e) { ovra::media::libav::LibavVideoAnalyzer().analyze(missing, nullptr, e); });
        QTest::addRow("sink") << Call([](QString *e) { ovra::media::libav::LibavVideoSink().writeFrame(QImage(), e); });
        QTest::addRow("result source") << Call(
            [](QString *e) { ovra::project_data::AnalysisResultSource(nullptr).readFrame(nullptr, e); });
        QTest::addRow("store") << Call(
            [](QString *e) { ovra::project_data::AnalysisResult(ovra::media::VideoMetadata()).appendFrame({}, e); });
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
        QCOMPARE(count, 4);
    }

    // lupdate sees a text only as a literal in a translation call, and a text added without
    // running it stays English: either way a Russian user would read English.
    void everyTranslatedTextIsALiteralInACatalogue()
    {
        const QSet<QString> catalogued = cataloguedTexts();
        QStringList faults;
        for (const char *layer :
             {"app", "cli", "diagnostics", "media", "motion_core", "processing", "project_data", "ui"}) {
            QDirIterator sources(
                sourceRoot + QLatin1Char('/') + QLatin1String(layer),
                {QStringLiteral("*.cpp"), QStringLiteral("*.h"), QStringLiteral("*.qml"), QStringLiteral("*.js")},
                QDir::Files, QDirIterator::Subdirectories);
            while (sources.hasNext())
                faults += textsMissingFromTheCatalogues(sources.next(), catalogued);
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
    }
};

QTEST_GUILESS_MAIN(TranslationsTest)
#include "tst_translations.moc"
