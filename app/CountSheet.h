#pragma once

// CountSheet: one cash count's controls and what they do, for the administrator's count on the
// day report page and the cashier's own count page alike: the currency chosen, a table of the
// currency's denominations with a box of pieces each, the counted sum, the book balance (not
// shown while the count is blind) and the button that stores the count. Storing asks with the
// difference from the book balance, records the count in the journal and, when its difference
// became a posting, refreshes the balances and writes and uploads the export as a posting does.

#include <QObject>
#include <QString>

#include "engine/Money.h"

class QComboBox;
class QDate;
class QLabel;
class QPushButton;
class QTableWidget;
class QWidget;
struct PageContext;

class CountSheet : public QObject
{
public:
    struct Controls
    {
        QComboBox *currency; // DIN, EUR
        QTableWidget *table; // Apoen, Komada (a spin box), Iznos
        QLabel *total;       // "Prebrojano: 4300.00 DIN"
        QLabel *book;        // "Knjizno stanje: 4400.00 DIN"
        QPushButton *post;   // PROKNJIZI POPIS
    };

    CountSheet(PageContext &context, const Controls &controls);

    // The empty table of denominations, named `name`, as both pages show it.
    static QTableWidget *makeTable(QWidget *parent, const char *name);
    // "Manjak 19.50 DIN", "Visak 5.00 EUR", "Bez razlike".
    static QString differenceWords(engine::Money difference, const QString &code);
    // How a count's day is said: "07/12/2026".
    static const QString DayShown;

    // A fresh table of the chosen currency's denominations, no pieces counted, and the book
    // balance (or its error) unless the count is blind.
    void show();
    // The amounts per row and the counted sum of the pieces typed.
    void showSums();
    // The question naming the difference, then the count of `day` stored (its difference left
    // for the administrator when `leaveDifference`); false when not stored, after saying why.
    bool store(const QDate &day, bool leaveDifference);

    const Controls &controls() const { return m_controls; }

private:
    PageContext &m_context;
    Controls m_controls;
};
