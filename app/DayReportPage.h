#pragma once

// DayReportPage: the daily cash report page (index 9, "DNEVNI IZVESTAJ" on the administrator
// menu). A day and the currencies, the day's state (closed with its report number, or not), the
// preview of the daily cash report, the day close (with its backup and the backup's off-site
// copy), the month and year reports of the chosen day, the administrator's cash count (POPIS
// GOTOVINE, a CountSheet) and the day's counts, a cashier's difference posted from here after
// the administrator's code.

#include <QObject>

#include <memory>

class CountSheet;
class QComboBox;
class QDateEdit;
class QLabel;
class QListWidget;
class QPushButton;
class QWidget;
struct PageContext;

class DayReportPage : public QObject
{
public:
    // Creates the page's controls on `page`, the shell TForm1 made for it.
    DayReportPage(PageContext &context, QWidget *page);
    ~DayReportPage() override;

    // The page was opened: today chosen, its state, an empty count and the day's counts.
    void entered();

    void showDayState();
    void DayPreviewClick(); // PRIKAZI DNEVNI IZVESTAJ
    void DayCloseClick();   // ZAKLJUCI DAN
    // The month report of the chosen day's month, or the year's (MESECNI / GODISNJI IZVESTAJ).
    void periodReport(bool year);
    // The administrator's count: a fresh table, and "PROKNJIZI POPIS", whose difference is
    // posted at once.
    void showCountTable();
    void CountPostClick();
    // Each count of the chosen day with who counted it and what became of its difference, and
    // "PROKNJIZI RAZLIKU", which posts the chosen cashier's count's difference after the
    // administrator's code.
    void showDayCounts();
    void CountPostDifferenceClick();

private:
    PageContext &m_context;

    QDateEdit *DayPicker = nullptr;
    QComboBox *DayCurrency = nullptr;   // DINARI I EUR, DINARI, EUR
    QLabel *DayState = nullptr;         // NIJE ZAKLJUCEN, or the close and its report number
    QPushButton *DayPreview = nullptr;  // PRIKAZI DNEVNI IZVESTAJ
    QPushButton *DayClose = nullptr;    // ZAKLJUCI DAN
    QPushButton *DayMonthReport = nullptr;
    QPushButton *DayYearReport = nullptr;
    QListWidget *CountList = nullptr;
    QPushButton *CountPostDifference = nullptr;
    std::unique_ptr<CountSheet> count; // CountCurrency, CountTable, CountTotal, CountBook, CountPost
};
