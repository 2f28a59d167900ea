#include "TestMedia.h"

#include "media/NoReplaceRename.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <thread>

using ovra::media::RenameOutcome;
using ovra::tests::fileContent;
using ovra::tests::writeFile;
using RenameFunction = RenameOutcome (*)(const QString &, const QString &, QString *);
Q_DECLARE_METATYPE(RenameFunction)

// Both the no-replace rename and its link-and-unlink fallback are checked on their own.
class NoReplaceRenameTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_folder;

    QString path(const QString &name) const { return m_folder->filePath(name); }

    static void methods()
    {
        QTest::addColumn<RenameFunction>("rename");
        QTest::newRow("rename without replacing") << RenameFunction(&ovra::media::renameWithoutReplacing);
        QTest::newRow("link then unlink") << RenameFunction(&ovra::media::linkThenUnlink);
    }

private slots:
    void init() { m_folder = std::make_unique<QTemporaryDir>(); }
    void renamesToAFreeNameOnly_data() { methods(); }

    void renamesToAFreeNameOnly()
    {
        QFETCH(RenameFunction, rename);
        QVERIFY(writeFile(path(".staged"), "video") && writeFile(path("taken.mp4"), "theirs"));
        // A dangling link takes its name too; following it would create a file elsewhere.
        QVERIFY(QFile::link(path("nowhere"), path("link.mp4")));
        for (const char *target : {"taken.mp4", "link.mp4"}) {
            QString error;
            QCOMPARE(rename(path(".staged"), path(target), &error), RenameOutcome::TargetExists);
            QVERIFY(!error.isEmpty());
        }
        QCOMPARE(fileContent(path("taken.mp4")), QByteArray("theirs"));
        QVERIFY(!QFileInfo::exists(path("nowhere")));
        QCOMPARE(rename(path("missing"), path("final.mp4"), nullptr), RenameOutcome::Failed);

        QCOMPARE(rename(path(".staged"), path("final.mp4"), nullptr), RenameOutcome::Renamed);
        QVERIFY(!QFileInfo::exists(path(".staged")));
        QCOMPARE(fileContent(path("final.mp4")), QByteArray("video"));
    }

    void exactlyOneOfTwoRacingRenamesWins_data() { methods(); }

    // Two publishers start together on one final name, many times over: exactly one wins each
    // round, and the name then holds the winner's file, never the loser's.
    void exactlyOneOfTwoRacingRenamesWins()
    {
        QFETCH(RenameFunction, rename);
        for (int round = 0; round < 200; ++round) {
            const QString target = path(QString("final-%1.mp4").arg(round));
            const QString staged[2] = {path(QString(".first-%1").arg(round)), path(QString(".second-%1").arg(round))};
            QVERIFY(writeFile(staged[0], "first") && writeFile(staged[1], "second"));

            std::atomic<int> ready{0};
            RenameOutcome outcomes[2] = {RenameOutcome::Failed, RenameOutcome::Failed};
            auto publish = [&](int slot) {
                ready.fetch_add(1);
                while (ready.load() < 2) {
                }
                outcomes[slot] = rename(staged[slot], target, nullptr);
            };
            std::thread other(publish, 1);
            publish(0);
            other.join();

            const int winner = outcomes[0] == RenameOutcome::Renamed ? 0 : 1;
            QCOMPARE(outcomes[winner], RenameOutcome::Renamed);
            QCOMPARE(outcomes[1 - winner], RenameOutcome::TargetExists);
            QCOMPARE(fileContent(target), QByteArray(winner == 0 ? "first" : "second"));
            QVERIFY(QFileInfo::exists(staged[1 - winner]));
        }
    }
};

QTEST_GUILESS_MAIN(NoReplaceRenameTest)
#include "tst_noreplacerename.moc"
