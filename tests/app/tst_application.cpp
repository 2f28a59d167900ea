// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestMedia.h"

#include "app/UserInterface.h"
#include "i18n/Translations.h"
#include "ovra/Version.h"
#include "ui/controllers/AnalysisController.h"
#include "ui/controllers/ApplicationController.h"
#include "ui/controllers/ProcessingSettingsController.h"
#include "ui/controllers/SaveWorkflowController.h"
#include "ui/controllers/VideoSessionController.h"

#include <QProcess>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QtTest>

#include <algorithm>
#include <memory>

using ovra::tests::testMediaPath;
using ovra::ui::controllers::ApplicationController;

namespace {

// The real window over real controllers, as the application builds it.
struct RunningWindow
{
    std::unique_ptr<ApplicationController> controller = std::make_unique<ApplicationController>();
    std::unique_ptr<QQmlApplicationEngine> engine = ovra::app::loadUserInterface(controller.get());

    QQuickWindow *window() const
    {
        return engine->rootObjects().isEmpty() ? nullptr : qobject_cast<QQuickWindow *>(engine->rootObjects().first());
    }
    QString statusText() const
    {
        const auto *text = window()->findChild<QObject *>(QStringLiteral("statusText"));
        return text ? text->property("text").toString() : QStringLiteral("<no status>");
    }
    QObject *visiblePopup(const QString &title) const
    {
        const QList<QObject *> objects = window()->findChildren<QObject *>();
        const auto popup = std::find_if(objects.begin(), objects.end(), [&](QObject *object) {
            return object->inherits("QQuickPopup") && object->property("title").toString() == title
                && object->property("visible").toBool();
        });
        return popup == objects.end() ? nullptr : *popup;
    }
    // Clicks the button with this text inside parent as a user would.
    static bool click(QObject *parent, const QString &text)
    {
        const QList<QObject *> buttons = parent ? parent->findChildren<QObject *>() : QList<QObject *>();
        for (QObject *button : buttons) {
            if (button->inherits("QQuickAbstractButton") && button->property("text").toString() == text)
                return QMetaObject::invokeMethod(button, "clicked");
        }
        return false;
    }
    // Clicks the button with this text in the status bar, the row that holds the status text.
    bool clickInStatusBar(const QString &text) const
    {
        const auto *status = window()->findChild<QObject *>(QStringLiteral("statusText"));
        return click(status ? status->parent() : nullptr, text);
    }
    // The visible popup of this title, after the button with this text in it was clicked.
    QObject *clickInPopup(const QString &title, const QString &text) const
    {
        QObject *popup = visiblePopup(title);
        return click(popup, text) ? popup : nullptr;
    }
    // As the open dialog and a dropped file do.
    void openVideo(const QString &path) const { controller->saveWorkflow()->openSource(QUrl::fromLocalFile(path)); }
    QQuickItem *frameItem(bool showsResult) const
    {
        for (auto *item : window()->findChildren<QQuickItem *>()) {
            if (item->inherits("ovra::ui::items::VideoFrameItem")
                && item->property("showsResult").toBool() == showsResult)
                return item;
        }
        return nullptr;
    }
};

// Whether the window shows a picture inside an item rather than the empty viewport colour.
bool drawsPicture(QQuickWindow *window, QQuickItem *item)
{
    const QImage shown = window->grabWindow();
    const QRectF painted = item->property("paintedRect").toRectF();
    const QPointF centre = item->mapToScene(painted.center());
    const QColor pixel = shown.pixelColor(centre.toPoint());
    return painted.width() > 0 && pixel != QColor(0x0C, 0x10, 0x15);
}

} // namespace

class ApplicationTest : public QObject
{
    Q_OBJECT

private slots:
    static void initMain() { qputenv("QT_QUICK_BACKEND", "software"); }
    // Any warning of the window's QML fails the test: a broken binding shows up here first.
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral("qrc:/|\\.qml"))); }

    void startsInTheSystemLanguage_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("openButton");
        QTest::addColumn<QString>("openDialogTitle");
        QTest::addRow("English") << QLocale(QLocale::English, QLocale::UnitedStates) << "Ready to open a video"
                                 << "Open video"
                                 << "Open source video";
        QTest::addRow("Russian") << QLocale(QLocale::Russian, QLocale::Russia) << "Можно открыть видео"
                                 << "Открыть видео"
                                 << "Открыть исходное видео";
    }

    // Where the system offers no file dialog of its own, Qt's dialog needs modules of its own
    // (without them it crashed the application).
    void startsInTheSystemLanguage()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, openButton);
        QFETCH(QString, openDialogTitle);
        const ovra::i18n::InstalledTranslators translators(locale);
        RunningWindow running;
        QVERIFY(running.window());
        QTEST(running.statusText(), "status");
        QVERIFY(RunningWindow::click(running.window(), openButton));
        QTRY_VERIFY(running.visiblePopup(openDialogTitle));
    }

    // A video named on the command line opens and is drawn; its analysis is drawn beside it. An
    // unsaved result is never lost without asking: opening another video asks first, Cancel
    // keeps the result and the open video, Discard opens the other one. The status bar's Cancel
    // stops what runs, here the analysis of the opened video.
    void previewOfTheOpenedVideoAndTheUnsavedGuard()
    {
        RunningWindow running;
        auto *session = running.controller->videoSession();
        ovra::app::openVideoArgument(running.controller.get(), {testMediaPath(QStringLiteral("long_cfr30.mp4"))});
        QVERIFY(running.clickInStatusBar(QStringLiteral("Cancel")));
        QTRY_COMPARE_WITH_TIMEOUT(running.statusText(), QStringLiteral("Video analysis cancelled"), 20000);
        session->retryAnalysis();
        QTRY_COMPARE_WITH_TIMEOUT(running.statusText(), QStringLiteral("Source video is ready"), 60000);
        QTRY_VERIFY_WITH_TIMEOUT(drawsPicture(running.window(), running.frameItem(false)), 20000);

        running.controller->processingSettings()->setFrequencyBand(20.0, 30.0);
        auto *analysis = running.controller->analysis();
        QVERIFY2(analysis->available(), qPrintable(running.controller->processingSettings()->validationMessage()));
        analysis->startAnalysis();
        QTRY_VERIFY_WITH_TIMEOUT(analysis->ready(), 120000);
        QVERIFY(analysis->unsaved());
        QTRY_VERIFY_WITH_TIMEOUT(drawsPicture(running.window(), running.frameItem(true)), 20000);

        const QString other = testMediaPath(QStringLiteral("cfr30_bframes.mp4"));
        running.openVideo(other);
        QObject *dialog = running.clickInPopup(QStringLiteral("Unsaved analysis result"), QStringLiteral("Cancel"));
        QVERIFY(dialog);
        QTRY_VERIFY(!dialog->property("visible").toBool());
        QCOMPARE(session->fileName(), QStringLiteral("long_cfr30.mp4"));
        QVERIFY(analysis->unsaved());

        running.openVideo(other);
        QVERIFY(running.clickInPopup(QStringLiteral("Unsaved analysis result"), QStringLiteral("Discard")));
        QTRY_COMPARE_WITH_TIMEOUT(session->fileName(), QStringLiteral("cfr30_bframes.mp4"), 20000);
    }

    // Over SSH and in scripts there is no display: help and version must not need one.
    void commandLineOffersTheVideoArgumentAndTheVersion()
    {
        const auto output = [](const QString &option) {
            QProcess process;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            for (const char *display : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
                environment.remove(QString::fromLatin1(display));
            process.setProcessEnvironment(environment);
            process.start(QStringLiteral(OVRA_APPLICATION_BINARY), {option});
            const bool succeeded = process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit
                && process.exitCode() == 0;
            return succeeded ? QString::fromUtf8(process.readAllStandardOutput()) : QString();
        };
        const QString usage = output(QStringLiteral("--help"));
        QVERIFY2(usage.contains("[video]") && usage.contains("--mcp-control"), qPrintable(usage));
        QCOMPARE(output(QStringLiteral("--version")).trimmed(), QStringLiteral(OVRA_DISPLAY_NAME));
    }
};

QTEST_MAIN(ApplicationTest)
#include "tst_application.moc"
