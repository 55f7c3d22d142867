// The preview window, driven through its controls on the offscreen platform.
#include "TestJournal.h"

#include "report/PreviewWindow.h"
#include "report/TurnoverReport.h"

#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

class PreviewWindowTest : public QObject
{
    Q_OBJECT

private:
    static report::Document document(int records)
    {
        report::Report definition = report::turnoverReport();
        definition.setText(report::TitleLine1, "Promet dorvante od pocetka pracenja prometa");
        return report::Document(definition, testjournal::numberedJournal(records));
    }

    template <typename T> static T *child(const report::PreviewWindow &window, const char *name)
    {
        T *widget = window.findChild<T *>(QString::fromLatin1(name));
        if (!widget)
            qFatal("no widget %s", name);
        return widget;
    }

    static bool hasInk(const QImage &image)
    {
        for (int y = 0; y < image.height(); y += 2) {
            const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                if (qGray(line[x]) < 100)
                    return true;
            }
        }
        return false;
    }

private slots:
    void pagesThroughTheReportWithItsControls()
    {
        report::PreviewWindow window(document(100));
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QCOMPARE(window.pageCount(), 3);
        QCOMPARE(window.currentPage(), 1);
        QVERIFY(hasInk(window.currentImage()));
        auto *previous = child<QToolButton>(window, "previousPage");
        auto *next = child<QToolButton>(window, "nextPage");
        QVERIFY(!previous->isEnabled());

        QTest::mouseClick(next, Qt::LeftButton);
        QCOMPARE(window.currentPage(), 2);
        QCOMPARE(child<QSpinBox>(window, "pageNumber")->value(), 2);
        QTest::mouseClick(child<QToolButton>(window, "lastPage"), Qt::LeftButton);
        QCOMPARE(window.currentPage(), 3);
        QVERIFY(!next->isEnabled());
        QTest::mouseClick(next, Qt::LeftButton); // disabled: stays
        QCOMPARE(window.currentPage(), 3);
        QTest::mouseClick(child<QToolButton>(window, "firstPage"), Qt::LeftButton);
        QCOMPARE(window.currentPage(), 1);
        child<QSpinBox>(window, "pageNumber")->setValue(2);
        QCOMPARE(window.currentPage(), 2);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageDown);
        QCOMPARE(window.currentPage(), 3);
    }

    void zoomScalesThePage()
    {
        report::PreviewWindow window(document(1));
        const int width = window.currentImage().width();
        child<QComboBox>(window, "zoom")->setCurrentIndex(5); // 200%
        QVERIFY(qAbs(window.currentImage().width() - 2 * width) <= 2);
    }

    void execReturnsWhenTheUserClosesIt()
    {
        report::PreviewWindow window(document(1));
        QTimer::singleShot(0, &window, [&window] {
            QTest::mouseClick(child<QPushButton>(window, "closeButton"), Qt::LeftButton);
        });
        QCOMPARE(window.exec(), int(QDialog::Accepted));
    }

    void savesTheWholeReportAsPdf()
    {
        QTemporaryDir dir;
        report::PreviewWindow window(document(100));
        const QString path = dir.filePath("out.pdf");
        QString error;
        QVERIFY2(window.savePdf(path, &error), qPrintable(error));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(bytes.startsWith("%PDF"));
        QCOMPARE(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r") +
                     bytes.count("/Type /Page>") + bytes.count("/Type /Page "),
                 3);
    }
};

QTEST_MAIN(PreviewWindowTest)
#include "PreviewWindowTest.moc"
