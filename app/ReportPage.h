#pragma once

// ReportPage: the turnover report page (page 4): the criterion frames, the statement built
// from them, "PRIKAZI PROMET KASE" and the CSV buttons. Its controls are children of the page
// widget TForm1 made, so the window finds each by its objectName.

#include "ReportStatement.h"

#include <QObject>
#include <QString>

struct PageContext;
class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QWidget;

namespace engine {
class Table;
}

class ReportPage : public QObject
{
public:
    ReportPage(PageContext &context, QWidget *page);

    // Entering the page: every criterion to its all option, the period to the last 30 days,
    // the lists filled anew.
    void enter();
    ReportCriteria reportCriteria() const;
    // The statement of the query as the last report press left it.
    QString reportStatement() const;
    // "CSV": the records of the report's criteria with their numbers to a CSV file.
    void BitBtnCsvClick();
    // "CSV" and "CSV SR" (the Serbian form, desk::CsvForm::Serbian).
    void writeReportCsv(bool serbian);

    void RadioButton8Click(); // Sve
    void RadioButton7Click(); // Za period
    void DateTimePicker1Change();
    void DateTimePicker2Change();
    void RadioButton9Click();  // Za sve korisnike
    void RadioButton10Click(); // Za izabranog korisnika
    void ListBox1Click();
    void RadioButton11Click(); // Za sve vrste prometa
    void RadioButton12Click(); // Za izabrani cesti promet
    void ListBox2Click();
    void RadioButton13Click(); // Za sve grupe
    void RadioButton14Click(); // Za izabranu grupu
    void ListBox5Click();
    void RadioButton5Click(); // Bez pretrage
    void RadioButton6Click(); // Pretraga
    void BitBtn17Click();     // PRIKAZI PROMET KASE

    QGroupBox *GroupBoxPeriod = nullptr; // Za period
    QRadioButton *RadioButton8 = nullptr;
    QRadioButton *RadioButton7 = nullptr;
    QLabel *LabelFrom = nullptr; // Ovde izaberi od kada
    QLabel *LabelTo = nullptr;   // Ovde izaberi do kada
    QDateEdit *DateTimePicker1 = nullptr;
    QDateEdit *DateTimePicker2 = nullptr;
    QLabel *LabelChosenFrom = nullptr; // Izabrano OD (never shown)
    QLabel *LabelChosenTo = nullptr;   // Izabrano DO (never shown)
    QLineEdit *Edit6 = nullptr;        // from, date text (never shown)
    QLineEdit *Edit7 = nullptr;        // to, date text (never shown)
    QGroupBox *GroupBoxUser = nullptr; // Za izabranog korisnika
    QRadioButton *RadioButton9 = nullptr;
    QRadioButton *RadioButton10 = nullptr;
    QListWidget *ListBox1 = nullptr;
    QLabel *LabelUser = nullptr; // Izabrani korisnik
    QLineEdit *Edit8 = nullptr;
    QGroupBox *GroupBoxActivity = nullptr; // Za izabranu cestu aktivnost
    QRadioButton *RadioButton11 = nullptr;
    QRadioButton *RadioButton12 = nullptr;
    QListWidget *ListBox2 = nullptr;
    QLabel *LabelActivity = nullptr; // Izabrani promet
    QLineEdit *Edit9 = nullptr;
    QGroupBox *GroupBoxGroup = nullptr; // Za izabranu grupu
    QRadioButton *RadioButton13 = nullptr;
    QRadioButton *RadioButton14 = nullptr;
    QListWidget *ListBox5 = nullptr;
    QLabel *LabelGroup = nullptr; // Izabranu grupu
    QLineEdit *Edit13 = nullptr;
    QGroupBox *GroupBoxKeyword = nullptr; // Pretraga prometa po kljucnoj reci
    QRadioButton *RadioButton5 = nullptr;
    QRadioButton *RadioButton6 = nullptr;
    QLabel *LabelKeyword = nullptr; // Unesite kljucnu rec za pretragu opisa prometa
    QLineEdit *Edit10 = nullptr;
    QPushButton *BitBtn17 = nullptr;

    QPushButton *BitBtnCsv = nullptr;
    QPushButton *BitBtnCsvSr = nullptr;

private:
    void reportEndStep();
    void fillListFromTable(QListWidget *list, engine::Table *table, const QString &field,
                           bool skipAdmin);

    PageContext &ctx;
};
