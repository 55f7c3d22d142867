#pragma once

// TForm2, the review window: a cashier's own postings of a period, narrowed to a word in
// the description if he likes, in a read-only grid, and printed as a report with totals.
// It lives for the whole run beside the main window and never blocks it; closing it hides
// it. Every load closes the engine session first, as every operation of the program does.

#include <QWidget>

#include <QHash>

#include <functional>
#include <memory>

#include "ReportPreview.h"

class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QueryModel;

namespace report {
class DataSource;
class Report;
} // namespace report

namespace engine {
class Session;
class Table;
class Query;
} // namespace engine

namespace platform {
class Dialogs;
class Clock;
class SystemSettings;
} // namespace platform

class TForm2 : public QWidget
{
    Q_OBJECT
public:
    TForm2(engine::Session &session, platform::Dialogs &dialogs, const platform::Clock &clock,
           const platform::SystemSettings &settings, QWidget *parent = nullptr);
    ~TForm2() override;

    // The statement of the last load (for the tests and for whoever reads the code).
    QString statement() const;
    engine::Query &query() const { return *Query1; }

    void FormShow();
    void FormActivate();
    void BitBtn1Click(); // PRIKAZI SVA KNJIZENJA
    void BitBtn2Click(); // PRETRAZI!
    void Edit1Enter();
    void Edit1KeyPress(QChar &key);
    void BitBtn3Click(); // STAMPAJ OVAJ IZVESTAJ
    void BitBtnStornoClick(); // STORNIRAJ: reverses the document of the chosen row
    void BitBtnVoucherClick(); // STAMPAJ NALOG: previews the chosen row's voucher
    void FormClose();
    // Log-out of the main window: hides the window, forgets the cashier and empties the grid,
    // so that the next cashier never sees the previous one's postings.
    void logOut();
    // What "STORNIRAJ" does with the chosen row's document number: the main window's
    // reversal, the same as its journal view's (without it the button does nothing).
    void setReversal(std::function<void(const QString &number)> reverse)
    {
        reversal = std::move(reverse);
    }
    // How "STAMPAJ OVAJ IZVESTAJ" shows its report (the preview window unless replaced).
    void setReportPreview(ReportPreview preview) { reportPreview = std::move(preview); }

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QString baseStatement() const;
    QString periodCondition() const;
    QString pickerText(const QDateEdit *picker) const;
    // What a load selected: the period (date texts) and the search word, empty for none.
    struct Filter
    {
        bool period = false;
        QString from;
        QString to;
        QString word;
    };
    // Loads the statement, which selects `filter`, into the grid; false when the engine
    // refused it (shown).
    bool load(const QString &statement, const Filter &filter);
    void afterOwnDialog();
    // The document number of the journal record shown in `row` of the list (by the record's id
    // that the row carries); empty when none.
    QString numberOfRow(int row);
    // The rows of the list whose documents were reversed, with their numbers.
    QHash<int, QString> reversedRows();
    // The texts of the printout's lines under its totals, by element name, for the `reversed`
    // rows: what reversals the list does not hold reversed, and the totals net of it; none
    // when every reversal is in the list (and so in its totals). Throws EngineError.
    QHash<QString, QString> reversalLines(const QHash<int, QString> &reversed);

    engine::Session &session;
    platform::Dialogs &dialogs;
    const platform::Clock &clock;
    const platform::SystemSettings &settings;
    ReportPreview reportPreview;
    std::function<void(const QString &number)> reversal;
    engine::Table *Table1;
    engine::Query *Query1;
    QueryModel *model;
    Filter loaded; // of the list in the grid

public:
    QLabel *Label2 = nullptr;
    QLineEdit *Edit1 = nullptr;
    QPushButton *BitBtn2 = nullptr;
    QDateEdit *DateTimePicker1 = nullptr;
    QDateEdit *DateTimePicker2 = nullptr;
    QPushButton *BitBtn1 = nullptr;
    QPushButton *BitBtn3 = nullptr;
    QPushButton *BitBtnStorno = nullptr;
    QPushButton *BitBtnVoucher = nullptr;
    QTableView *DBGrid1 = nullptr;
};
