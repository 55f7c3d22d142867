// The main window on a screen smaller than itself (1366x768 at a scale factor of 1.5 leaves
// 910x512): the window fits the screen's available area and every control of every page can
// be scrolled into view. At the usual size the other window tests run it unchanged.
#include "WindowTest.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTemporaryDir>

class TestSmallScreen : public QObject, WindowTest<>
{
    Q_OBJECT

private slots:
    void init()
    {
        freshData();
        data->addUser("12345", "Admin");
        data->addUser("111", "Petar Petrovic");
        data->addGroup("Gorivo");
    }
    void cleanup() { finish(); }

    void theWindowFitsTheScreensArea()
    {
        showForm();
        const QRect area = QApplication::primaryScreen()->availableGeometry();
        QCOMPARE(area.size(), QSize(910, 512));
        QVERIFY2(area.contains(form->geometry()),
                 qPrintable(QStringLiteral("%1x%2 at %3,%4")
                                .arg(form->width())
                                .arg(form->height())
                                .arg(form->x())
                                .arg(form->y())));
        QCOMPARE(form->minimumSize(), form->maximumSize()); // still of a fixed size
        QVERIFY(find<QScrollArea>("PageScroll")->widget() == static_cast<QWidget *>(form->Notebook1));
    }

    // Each page's controls nearest its edges, the status lines among them, come into view.
    void everyControlCanBeScrolledIntoView_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("menuButton"); // empty: the page the login leads to
        QTest::addColumn<QStringList>("controls");
        QTest::newRow("posting") << "111" << ""
                                 << QStringList{"Label26", "BitBtn8", "Edit12", "Label8", "GroupBox1"};
        QTest::newRow("backup") << "12345" << "BitBtn19"
                                << QStringList{"LabelOffsite", "BitBtn30", "BitBtn29", "BitBtn22"};
        QTest::newRow("day report") << "12345" << "BitBtnDayReport"
                                    << QStringList{"CountPost", "DayClose", "DayState", "BitBtnDayMenu"};
    }
    void everyControlCanBeScrolledIntoView()
    {
        QFETCH(QString, code);
        QFETCH(QString, menuButton);
        QFETCH(QStringList, controls);
        showLoggedIn(code);
        if (!menuButton.isEmpty())
            click(menuButton);
        auto *scroll = find<QScrollArea>("PageScroll");
        for (const QString &name : controls) {
            auto *control = find<QWidget>(name);
            QVERIFY2(control->isVisibleTo(form.get()), qPrintable(name));
            scroll->ensureWidgetVisible(control, 0, 0);
            const QRect shown(control->mapTo(scroll->viewport(), QPoint()), control->size());
            QVERIFY2(scroll->viewport()->rect().contains(shown), qPrintable(name));
        }
    }
};

int main(int argc, char **argv)
{
    // The offscreen platform with one screen of the laptop's logical size.
    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("screens.json"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)
        || file.write(R"({"screens": [{"name": "Laptop", "x": 0, "y": 0, "width": 910,
                         "height": 512, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})")
               < 0)
        return 1;
    file.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config));
    QApplication app(argc, argv);
    TestSmallScreen test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_smallscreen.moc"
