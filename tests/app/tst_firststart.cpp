// The first start: a start directory without podaci/ gets one only after "Yes" and the
// administrator's code typed twice alike; then the real main window logs that code in.
#include "FirstStart.h"
#include "Unit1.h"

#include "engine/Session.h"
#include "testsupport/FixedClock.h"
#include "testsupport/ScriptedDialogs.h"
#include "testsupport/FixedSettings.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

using FirstStart::Result;

class TestFirstStart : public QObject
{
    Q_OBJECT

private:
    QStringList contents(const QTemporaryDir &dir)
    {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }

private slots:
    void presentDataDirectoryAsksNothing()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("podaci")));
        platform::ScriptedDialogs dialogs;
        QCOMPARE(FirstStart::run(dir.path(), dialogs), Result::Ready);
        QVERIFY(dialogs.shown.isEmpty());
        QCOMPARE(contents(dir), QStringList{"podaci"});
    }

    // Every way out before the codes agree leaves the directory as it was.
    void decliningCreatesNothing_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QList<std::optional<QString>>>("codes");
        QTest::newRow("no") << false << QList<std::optional<QString>>{};
        QTest::newRow("cancel first code") << true << QList<std::optional<QString>>{std::nullopt};
        QTest::newRow("cancel repeat")
            << true << QList<std::optional<QString>>{QString("123"), std::nullopt};
    }
    void decliningCreatesNothing()
    {
        QFETCH(bool, yes);
        QFETCH(QList<std::optional<QString>>, codes);
        QTemporaryDir dir;
        platform::ScriptedDialogs dialogs;
        yes ? dialogs.answerYes() : dialogs.answerNo();
        for (const auto &code : codes)
            dialogs.answerText(code);
        QCOMPARE(FirstStart::run(dir.path(), dialogs), Result::Declined);
        QCOMPARE(dialogs.questions(), QStringList{FirstStart::question(dir.path())});
        QVERIFY(dialogs.unanswered.isEmpty());
        QVERIFY(dialogs.messages().isEmpty());
        QCOMPARE(contents(dir), QStringList{});
    }

    // A directory that cannot be made ends the program with the reason, not the login page.
    void failureIsReportedAndEndsTheStart()
    {
        QTemporaryDir dir;
        QFile blocker(dir.filePath(QStringLiteral("datoteka")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        platform::ScriptedDialogs dialogs;
        dialogs.answerYes();
        dialogs.answerText(QStringLiteral("1"));
        dialogs.answerText(QStringLiteral("1"));
        QCOMPARE(FirstStart::run(blocker.fileName() + QStringLiteral("/kasa"), dialogs),
                 Result::Failed);
        QCOMPARE(dialogs.messages().size(), 1);
        QVERIFY(dialogs.messages().first().startsWith(
            QStringLiteral("Baza podataka nije napravljena: ")));
        QCOMPARE(contents(dir), QStringList{"datoteka"});
    }

    void createdDirectoryLetsTheAdministratorIn()
    {
        QTemporaryDir dir;
        const QString previous = QDir::currentPath();
        QDir::setCurrent(dir.path());
        platform::ScriptedDialogs dialogs;
        dialogs.answerYes();
        // Too long, then two codes that differ, then the same code twice.
        for (const char *code : {"123456", "4321", "4322", "4321", "4321"})
            dialogs.answerText(QString::fromLatin1(code));
        QCOMPARE(FirstStart::run(QDir::currentPath(), dialogs), Result::Ready);
        QVERIFY2(dialogs.unanswered.isEmpty(), qPrintable(dialogs.unanswered.join(", ")));
        QCOMPARE(dialogs.messages(),
                 (QStringList{FirstStart::badLength, FirstStart::mismatch, FirstStart::created}));
        QVERIFY(QFile::exists(dir.filePath("podaci/ftpop.txt")));

        dialogs.clear();
        engine::Session session;
        session.setBaseDir(dir.path());
        platform::FixedClock clock{QDateTime(QDate(2026, 12, 8), QTime(9, 0))};
        platform::FixedSettings settings;
        {
            TForm1 form(session, dialogs, clock, settings);
            form.show();
            QCOMPARE(form.pageIndex(), int(PageLogin));
            form.findChild<QLineEdit *>(QStringLiteral("Edit1"))->setText(QStringLiteral("4321"));
            form.findChild<QPushButton *>(QStringLiteral("BitBtn9"))->click();
            QCOMPARE(form.pageIndex(), int(PageMenu));
            QVERIFY2(dialogs.messages().isEmpty(), qPrintable(dialogs.messages().join(", ")));
        }
        session.close();
        QDir::setCurrent(previous);
    }

    // --help and --version answer without a display and without touching the directory; a
    // wrong command line ends with status 2.
    void commandLinesAnswerWithoutAWindow_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("says");
        QTest::newRow("dorvanta --help") << DORVANTA_BIN << QStringList{"--help"} << 0
                                         << "Usage: dorvanta [--help] [--version]";
        QTest::newRow("dorvanta --version") << DORVANTA_BIN << QStringList{"--version"} << 0
                                            << "dorvanta 1.5";
        QTest::newRow("journal-fill, too many cashiers")
            << JOURNAL_FILL_BIN << QStringList{"d", "--cashiers", "99900"} << 2 << "usage:";
        QTest::newRow("journal-fill, no directory") << JOURNAL_FILL_BIN << QStringList{} << 2
                                                    << "usage:";
    }
    void commandLinesAnswerWithoutAWindow()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, says);
        QTemporaryDir dir;
        QProcess process;
        process.setWorkingDirectory(dir.path());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
        environment.insert("QT_QPA_PLATFORM", "xcb"); // a window could not open
        process.setProcessEnvironment(environment);
        process.start(program, arguments);
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), status);
        const QString output = QString::fromUtf8(status == 0 ? process.readAllStandardOutput()
                                                             : process.readAllStandardError());
        QVERIFY2(output.contains(says), qPrintable(output));
        QCOMPARE(contents(dir), QStringList());
    }
};

QTEST_MAIN(TestFirstStart)
#include "tst_firststart.moc"
