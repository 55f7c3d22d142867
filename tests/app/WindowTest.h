#pragma once

// The set-up every window test shares: a data directory made fresh for each test case,
// scripted dialogs, a fixed clock and settings, the window under test (TForm1 unless named)
// with the report previews it showed, finding its controls by name, logging in, posting and
// the one message a failure shows. A test
// class derives from QObject and from this; its init() calls freshData() and its cleanup()
// calls finish(), which fails the test case on a question the script left unanswered.

#include "DataDir.h"

#include "ReportPreview.h"
#include "Unit1.h"

#include "testsupport/FixedClock.h"
#include "testsupport/ScriptedDialogs.h"
#include "testsupport/FixedSettings.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <memory>

template <typename Form = TForm1>
class WindowTest
{
protected:
    std::unique_ptr<DataDir> data;
    platform::ScriptedDialogs dialogs;
    platform::FixedClock clock{QDateTime(QDate(2026, 12, 7), QTime(14, 5, 9))};
    platform::FixedSettings settings;
    std::unique_ptr<Form> form;
    // The reports the window previewed, and what to do with each while it is shown.
    int previews = 0;
    ReportPreview onPreview;

    void freshData()
    {
        form.reset();
        data = std::make_unique<DataDir>();
        dialogs = platform::ScriptedDialogs();
        clock.set(QDateTime(QDate(2026, 12, 7), QTime(14, 5, 9)));
        settings = platform::FixedSettings();
        previews = 0;
        onPreview = nullptr;
    }
    void finish()
    {
        form.reset();
        data.reset();
        QVERIFY2(dialogs.unanswered.isEmpty(), qPrintable(dialogs.unanswered.join(", ")));
    }

    // A new window over the data directory, shown.
    Form &showForm()
    {
        makeForm().show();
        return *form;
    }
    // A new window over the data directory; it previews reports into `previews`.
    Form &makeForm()
    {
        form = std::make_unique<Form>(data->session, dialogs, clock, settings);
        form->setReportPreview([this](report::Document &document) {
            ++previews;
            if (onPreview)
                onPreview(document);
        });
        return *form;
    }

    template <typename W> W *find(const QString &name)
    {
        W *w = form->template findChild<W *>(name);
        if (!w)
            qFatal("no widget %s", qPrintable(name));
        return w;
    }
    void click(const QString &button) { find<QPushButton>(button)->click(); }
    // A click on the option's indicator, as the user selects it.
    void select(const QString &option)
    {
        auto *button = find<QRadioButton>(option);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
    }
    // Types the code on the login page and presses "PRIJAVI SE ZA RAD".
    void login(const QString &code)
    {
        find<QLineEdit>(QStringLiteral("Edit1"))->setText(code);
        click(QStringLiteral("BitBtn9"));
    }
    // A new window, shown, with the user of `code` logged in.
    Form &showLoggedIn(const QString &code)
    {
        showForm();
        login(code);
        return *form;
    }
    // A new window with the administrator logged in and the page of the menu's button open.
    void adminOpens(const QString &menuButton)
    {
        showLoggedIn(QStringLiteral("12345"));
        click(menuButton);
    }
    QString boxText(const QString &edit) { return find<QLineEdit>(edit)->text(); }
    QStringList listLines(const QString &listName)
    {
        QStringList out;
        auto *list = find<QListWidget>(listName);
        for (int i = 0; i < list->count(); ++i)
            out.append(list->item(i)->text());
        return out;
    }
    // A click on the list's line that reads `line`, as the user picks it.
    void clickLine(const QString &listName, const QString &line)
    {
        auto *list = find<QListWidget>(listName);
        const QList<QListWidgetItem *> items = list->findItems(line, Qt::MatchExactly);
        QVERIFY2(items.size() == 1, qPrintable(line));
        list->scrollToItem(items.first());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(items.first()).center());
    }
    // Fails unless exactly one message was shown and it begins with `start`.
    void saidOnce(const QString &start)
    {
        const QStringList said = dialogs.messages();
        QVERIFY2(said.size() == 1 && said.first().startsWith(start), qPrintable(said.join(" | ")));
    }
    // Fills the posting page as the cashier does: currency and direction chosen from their
    // lists, then amount, reason and group typed.
    void fillPosting(const QString &currency, const QString &direction, const QString &amount,
                     const QString &reason = QStringLiteral("Racun"),
                     const QString &group = QStringLiteral("Gorivo"))
    {
        auto *c2 = find<QComboBox>(QStringLiteral("ComboBox2"));
        c2->setCurrentIndex(c2->findText(currency));
        form->ComboBox2Change();
        auto *c3 = find<QComboBox>(QStringLiteral("ComboBox3"));
        c3->setCurrentIndex(c3->findText(direction));
        form->ComboBox3Change();
        find<QLineEdit>(QStringLiteral("Edit4"))->setText(amount);
        find<QLineEdit>(QStringLiteral("Edit5"))->setText(reason);
        find<QLineEdit>(QStringLiteral("Edit12"))->setText(group);
    }
    // The same, then the posting button pressed with "Yes" to its question.
    void post(const QString &currency, const QString &direction, const QString &amount,
              const QString &reason = QStringLiteral("Racun"),
              const QString &group = QStringLiteral("Gorivo"))
    {
        fillPosting(currency, direction, amount, reason, group);
        dialogs.answerYes();
        form->BitBtn8Click();
    }
};
