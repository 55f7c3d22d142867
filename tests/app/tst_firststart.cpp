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
    // Every way out before the codes agree leaves the start directory as it was: a present
    // podaci/ asks nothing, "No" and a cancel create nothing, and a directory that cannot be
    // made ends the program with the reason, not the login page.
    void onlyAgreedCodesMakeTheDirectory_data()
    {
        QTest::addColumn<QString>("before");       // in the start directory: "podaci" (a
                                                   // directory) or "datoteka" (a file in the way)
        QTest::addColumn<QStringList>("answers");  // "yes" or "no", then the codes typed
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("said");
        QTest::newRow("present") << "podaci" << QStringList() << int(Result::Ready) << "";
        QTest::newRow("no") << "" << QStringList{"no"} << int(Result::Declined) << "";
        QTest::newRow("cancel first code") << "" << QStringList{"yes", "cancel"}
                                           << int(Result::Declined) << "";
        QTest::newRow("cancel repeat") << "" << QStringList{"yes", "123", "cancel"}
                                       << int(Result::Declined) << "";
        QTest::newRow("cannot be made") << "datoteka" << QStringList{"yes", "1", "1"}
                                        << int(Result::Failed) << "Baza podataka nije napravljena: ";
    }
    void onlyAgreedCodesMakeTheDirectory()
    {
        QFETCH(QString, before);
        QFETCH(QStringList, answers);
        QFETCH(int, result);
        QFETCH(QString, said);
        QTemporaryDir dir;
        if (before == "podaci")
            QVERIFY(QDir(dir.path()).mkdir(before));
        else if (!before.isEmpty())
            QVERIFY(QFile(dir.filePath(before)).open(QIODevice::WriteOnly));
        const QString start = before == "datoteka" ? dir.filePath("datoteka/kasa") : dir.path();
        platform::ScriptedDialogs dialogs;
        for (const QString &answer : answers) {
            if (answer == "yes" || answer == "no")
                answer == "yes" ? dialogs.answerYes() : dialogs.answerNo();
            else
                dialogs.answerText(answer == "cancel" ? std::nullopt : std::optional(answer));
        }
        QCOMPARE(int(FirstStart::run(start, dialogs)), result);
        QVERIFY(dialogs.unanswered.isEmpty());
        QCOMPARE(dialogs.questions(),
                 answers.isEmpty() ? QStringList() : QStringList{FirstStart::question(start)});
        QCOMPARE(dialogs.messages().size(), said.isEmpty() ? 0 : 1);
        if (!said.isEmpty())
            QVERIFY(dialogs.messages().first().startsWith(said));
        QCOMPARE(contents(dir), before.isEmpty() ? QStringList() : QStringList{before});
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
