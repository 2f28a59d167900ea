#include "media/NoReplaceRename.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <thread>

using ovra::media::RenameOutcome;

namespace {

using RenameFunction = RenameOutcome (*)(const QString &, const QString &, QString *);

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), content.size());
}

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void addMethodRows()
{
    QTest::addColumn<quintptr>("function");
    QTest::newRow("rename without replacing")
        << reinterpret_cast<quintptr>(RenameFunction(&ovra::media::renameWithoutReplacing));
    QTest::newRow("link then unlink") << reinterpret_cast<quintptr>(RenameFunction(&ovra::media::linkThenUnlink));
}

RenameFunction fetchFunction()
{
    QFETCH(quintptr, function);
    return reinterpret_cast<RenameFunction>(function);
}

} // namespace

class NoReplaceRenameTest : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void renamesToAFreeName_data() { addMethodRows(); }
    void renamesToAFreeName();
    void neverReplacesAnExistingName_data() { addMethodRows(); }
    void neverReplacesAnExistingName();
    void missingSourceFails_data() { addMethodRows(); }
    void missingSourceFails();
    void exactlyOneOfTwoRacingRenamesWins_data() { addMethodRows(); }
    void exactlyOneOfTwoRacingRenamesWins();

private:
    std::unique_ptr<QTemporaryDir> m_folder;
    QString path(const QString &name) const { return m_folder->filePath(name); }
};

void NoReplaceRenameTest::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
}

void NoReplaceRenameTest::renamesToAFreeName()
{
    const RenameFunction rename = fetchFunction();
    writeFile(path(QStringLiteral(".staged")), "video");
    QString error;
    QCOMPARE(rename(path(QStringLiteral(".staged")), path(QStringLiteral("final.mp4")), &error),
             RenameOutcome::Renamed);
    QVERIFY(!QFileInfo::exists(path(QStringLiteral(".staged"))));
    QCOMPARE(contentOf(path(QStringLiteral("final.mp4"))), QByteArray("video"));
}

void NoReplaceRenameTest::neverReplacesAnExistingName()
{
    const RenameFunction rename = fetchFunction();
    writeFile(path(QStringLiteral(".staged")), "video");
    writeFile(path(QStringLiteral("taken.mp4")), "someone else's");
    // A dangling link also takes the name; following it would create a file elsewhere.
    QVERIFY(QFile::link(path(QStringLiteral("nowhere")), path(QStringLiteral("link.mp4"))));

    for (const QString &target : {QStringLiteral("taken.mp4"), QStringLiteral("link.mp4")}) {
        QString error;
        QCOMPARE(rename(path(QStringLiteral(".staged")), path(target), &error), RenameOutcome::TargetExists);
        QVERIFY(!error.isEmpty());
    }
    QCOMPARE(contentOf(path(QStringLiteral("taken.mp4"))), QByteArray("someone else's"));
    QVERIFY(QFileInfo(path(QStringLiteral("link.mp4"))).isSymLink());
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("nowhere"))));
    QCOMPARE(contentOf(path(QStringLiteral(".staged"))), QByteArray("video"));
}

void NoReplaceRenameTest::missingSourceFails()
{
    const RenameFunction rename = fetchFunction();
    QString error;
    QCOMPARE(rename(path(QStringLiteral("missing")), path(QStringLiteral("final.mp4")), &error),
             RenameOutcome::Failed);
    QVERIFY(!error.isEmpty());
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("final.mp4"))));
}

// Two publishers start together on the same final name, many times over: exactly one wins
// each round, and the name then holds the winner's file, never the loser's.
void NoReplaceRenameTest::exactlyOneOfTwoRacingRenamesWins()
{
    const RenameFunction rename = fetchFunction();
    for (int round = 0; round < 200; ++round) {
        const QString target = path(QStringLiteral("final-%1.mp4").arg(round));
        const QString first = path(QStringLiteral(".first-%1").arg(round));
        const QString second = path(QStringLiteral(".second-%1").arg(round));
        writeFile(first, "first");
        writeFile(second, "second");

        std::atomic<int> ready{0};
        RenameOutcome outcomes[2] = {RenameOutcome::Failed, RenameOutcome::Failed};
        auto publish = [&](int slot, const QString &staged) {
            ready.fetch_add(1);
            while (ready.load() < 2) {
            }
            outcomes[slot] = rename(staged, target, nullptr);
        };
        std::thread other(publish, 1, second);
        publish(0, first);
        other.join();

        const bool firstWon = outcomes[0] == RenameOutcome::Renamed;
        QCOMPARE(outcomes[firstWon ? 1 : 0], RenameOutcome::TargetExists);
        QCOMPARE(outcomes[firstWon ? 0 : 1], RenameOutcome::Renamed);
        QCOMPARE(contentOf(target), QByteArray(firstWon ? "first" : "second"));
        QVERIFY(QFileInfo::exists(firstWon ? second : first));
        QVERIFY(!QFileInfo::exists(firstWon ? first : second));
    }
}

QTEST_GUILESS_MAIN(NoReplaceRenameTest)
#include "tst_noreplacerename.moc"
