// The preview window, driven through its controls on the offscreen platform.
#include "TestJournal.h"

#include "report/Output.h"
#include "report/PreviewWindow.h"
#include "report/TurnoverReport.h"

#include <QComboBox>
#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStandardPaths>
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

    static int pdfPageCount(const QString &path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return -1;
        static const QRegularExpression page(R"re(/Type\s*/Page[^s])re");
        int count = 0;
        for (auto it = page.globalMatch(QString::fromLatin1(file.readAll())); it.hasNext();
             it.next())
            ++count;
        return count;
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
        auto *next = child<QToolButton>(window, "nextPage");
        QTest::mouseClick(next, Qt::LeftButton);
        QCOMPARE(window.currentPage(), 2);
        QCOMPARE(child<QSpinBox>(window, "pageNumber")->value(), 2);
        QTest::mouseClick(child<QToolButton>(window, "lastPage"), Qt::LeftButton);
        QCOMPARE(window.currentPage(), 3);
        QTest::mouseClick(next, Qt::LeftButton); // past the last page: stays
        QCOMPARE(window.currentPage(), 3);
        QTest::mouseClick(child<QToolButton>(window, "firstPage"), Qt::LeftButton);
        QCOMPARE(window.currentPage(), 1);
        child<QSpinBox>(window, "pageNumber")->setValue(2);
        QCOMPARE(window.currentPage(), 2);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageDown);
        QCOMPARE(window.currentPage(), 3);
    }

    void zoomScalesThePageAndExecReturnsWhenTheUserClosesIt()
    {
        report::PreviewWindow window(document(1));
        const int width = window.currentImage().width();
        child<QComboBox>(window, "zoom")->setCurrentIndex(5); // 200%
        QVERIFY(qAbs(window.currentImage().width() - 2 * width) <= 2);
        QTimer::singleShot(0, &window, [&window] {
            QTest::mouseClick(child<QPushButton>(window, "closeButton"), Qt::LeftButton);
        });
        QCOMPARE(window.exec(), int(QDialog::Accepted));
    }

    void printsTheChosenPagesFromThePapersCorner();
};

void PreviewWindowTest::printsTheChosenPagesFromThePapersCorner()
{
    QTemporaryDir dir;
    report::PreviewWindow window(document(100));
    window.showPage(3);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath("printed.pdf"));
    report::preparePagedDevice(window.document(), printer);
    printer.setPrintRange(QPrinter::PageRange);
    printer.setFromTo(2, 9);
    QVERIFY(window.printTo(printer));
    QCOMPARE(pdfPageCount(dir.filePath("printed.pdf")), 2);

    printer.setOutputFileName(dir.filePath("current.pdf"));
    printer.setPrintRange(QPrinter::CurrentPage);
    QVERIFY(window.printTo(printer));
    QCOMPARE(pdfPageCount(dir.filePath("current.pdf")), 1);

    const QString pdftotext = QStandardPaths::findExecutable("pdftotext");
    if (pdftotext.isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed");
    QProcess process;
    process.start(pdftotext, {"-bbox", dir.filePath("current.pdf"), "-"});
    QVERIFY(process.waitForFinished(30000));
    const QString html = QString::fromUtf8(process.readAllStandardOutput());
    // "Strana" stands 12.7 + 161.4 mm from the paper's left edge on the last page.
    static const QRegularExpression strana(R"re(xMin="([\d.]+)"[^>]*>Strana<)re");
    const QRegularExpressionMatch m = strana.match(html);
    QVERIFY(m.hasMatch());
    QVERIFY(qAbs(m.captured(1).toDouble() * 25.4 / 72 - 174.1) < 0.1);
    QVERIFY(html.contains(">UKUPNO<"));
}

QTEST_MAIN(PreviewWindowTest)
#include "PreviewWindowTest.moc"
