// CountSheet: the denominations table of a cash count, its sums, and the count stored with the
// question that names its difference.
#include "CountSheet.h"

#include "OpenTables.h"
#include "PageContext.h"
#include "PageHost.h"
#include "UiHelpers.h"

#include "desk/CashCount.h"
#include "desk/DeskSettings.h"
#include "desk/JournalBalances.h"
#include "engine/EngineError.h"
#include "engine/Session.h"
#include "engine/Table.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"

#include <QComboBox>
#include <QDate>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>

namespace {

desk::Currency countCurrency(const QComboBox *box)
{
    return box->currentIndex() == 1 ? desk::Currency::Euros : desk::Currency::Dinars;
}

// "5000" for a whole denomination, "0.50" for cents.
QString denominationText(engine::Money d)
{
    return d.hundredths() % 100 == 0 ? QString::number(d.hundredths() / 100) : d.toText();
}

// Tab and Enter in a count's number box go on to the next denomination's box (the last's to
// the button that stores the count), Shift+Tab back; the box reached has its number selected,
// so that what is typed replaces it.
class CountKeys : public QObject
{
public:
    CountKeys(QTableWidget *table, QPushButton *after) : QObject(table), table(table), after(after) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const int key = static_cast<QKeyEvent *>(event)->key();
        const bool forward = key == Qt::Key_Tab || key == Qt::Key_Return || key == Qt::Key_Enter;
        if (!forward && key != Qt::Key_Backtab)
            return false;
        int row = -1;
        for (int r = 0; r < table->rowCount(); ++r) {
            if (table->cellWidget(r, 1) == watched)
                row = r;
        }
        if (row < 0)
            return false;
        const int next = forward ? row + 1 : row - 1;
        if (next >= 0 && next < table->rowCount()) {
            if (auto *box = qobject_cast<QSpinBox *>(table->cellWidget(next, 1))) {
                table->scrollToItem(table->item(next, 0));
                box->setFocus(Qt::TabFocusReason);
                box->selectAll();
            }
        } else if (next >= table->rowCount()) {
            after->setFocus(Qt::TabFocusReason);
        }
        return true;
    }

private:
    QTableWidget *table;
    QPushButton *after;
};

// The pieces counted in `table` of `currency`, those above zero.
QList<desk::cashcount::Pieces> countedPieces(const QTableWidget *table, desk::Currency currency)
{
    const QList<engine::Money> &denominations = desk::cashcount::denominations(currency);
    QList<desk::cashcount::Pieces> pieces;
    for (int row = 0; row < table->rowCount() && row < int(denominations.size()); ++row) {
        if (const auto *box = qobject_cast<QSpinBox *>(table->cellWidget(row, 1)); box && box->value() > 0)
            pieces.append({denominations.at(row), box->value()});
    }
    return pieces;
}

} // namespace

const QString CountSheet::DayShown = QStringLiteral("dd/MM/yyyy");

CountSheet::CountSheet(PageContext &context, const Controls &controls)
    : m_context(context), m_controls(controls)
{
}

QTableWidget *CountSheet::makeTable(QWidget *parent, const char *name)
{
    auto *table = named(new QTableWidget(0, 3, parent), name);
    table->setHorizontalHeaderLabels(
        {QStringLiteral("Apoen"), QStringLiteral("Komada"), QStringLiteral("Iznos")});
    table->verticalHeader()->setVisible(false);
    table->verticalHeader()->setDefaultSectionSize(22);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setColumnWidth(0, 70);
    table->setColumnWidth(1, 90);
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

QString CountSheet::differenceWords(engine::Money difference, const QString &code)
{
    if (difference.isZero())
        return QStringLiteral("Bez razlike");
    return QStringLiteral("%1 %2 %3")
        .arg(difference < engine::Money() ? QStringLiteral("Manjak") : QStringLiteral("Visak"),
             (difference < engine::Money() ? -difference : difference).toText(), code);
}

void CountSheet::show()
{
    const Controls &count = m_controls;
    const desk::Currency currency = countCurrency(count.currency);
    const QList<engine::Money> &denominations = desk::cashcount::denominations(currency);
    count.table->setRowCount(int(denominations.size()));
    QObject *keys = count.table->findChild<QObject *>(QStringLiteral("CountKeys"),
                                                      Qt::FindDirectChildrenOnly);
    if (!keys) {
        keys = new CountKeys(count.table, count.post);
        keys->setObjectName(QStringLiteral("CountKeys"));
    }
    for (int row = 0; row < int(denominations.size()); ++row) {
        auto *denomination = new QTableWidgetItem(denominationText(denominations.at(row)));
        denomination->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        count.table->setItem(row, 0, denomination);
        auto *pieces = new QSpinBox(count.table);
        pieces->setObjectName(QStringLiteral("CountPieces%1").arg(row));
        pieces->setRange(0, 999999999); // whole, never negative
        pieces->setAlignment(Qt::AlignRight);
        pieces->installEventFilter(keys);
        connect(pieces, &QSpinBox::valueChanged, this, &CountSheet::showSums);
        count.table->setCellWidget(row, 1, pieces);
        auto *amount = new QTableWidgetItem;
        amount->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        count.table->setItem(row, 2, amount);
    }
    showSums();
    const QString code = desk::cashcount::currencyCode(currency);
    // A blind count does not show the book balance, so that it cannot steer the count.
    try {
        OpenTables tables(m_context.session, {m_context.journal});
        if (desk::settings::read(*m_context.journal).blindCount) {
            count.book->setText(QStringLiteral("Knjizno stanje: prikazuje se posle popisa"));
            return;
        }
        const journal_balances::Balances b = journal_balances::current(*m_context.journal);
        count.book->setText(QStringLiteral("Knjizno stanje: %1 %2")
                                .arg((currency == desk::Currency::Euros ? b.euros : b.dinars).toText(), code));
    } catch (const engine::EngineError &e) {
        count.book->setText(e.message());
    }
}

void CountSheet::showSums()
{
    const Controls &count = m_controls;
    const desk::Currency currency = countCurrency(count.currency);
    const QList<engine::Money> &denominations = desk::cashcount::denominations(currency);
    const QString code = desk::cashcount::currencyCode(currency);
    engine::Money total;
    for (int row = 0; row < count.table->rowCount() && row < int(denominations.size()); ++row) {
        const auto *pieces = qobject_cast<QSpinBox *>(count.table->cellWidget(row, 1));
        const engine::Money amount =
            engine::Money::fromHundredths(denominations.at(row).hundredths() * (pieces ? pieces->value() : 0));
        count.table->item(row, 2)->setText(amount.toText());
        total += amount;
    }
    count.total->setText(QStringLiteral("Prebrojano: %1 %2").arg(total.toText(), code));
}

bool CountSheet::store(const QDate &day, bool leaveDifference)
{
    platform::Dialogs &dialogs = m_context.dialogs;
    engine::Table &journal = *m_context.journal;
    const desk::Currency currency = countCurrency(m_controls.currency);
    const QString code = desk::cashcount::currencyCode(currency);
    const QList<desk::cashcount::Pieces> pieces = countedPieces(m_controls.table, currency);
    const engine::Money counted = desk::cashcount::total(pieces);
    // The question names the difference from the book balance now (storing reads it again,
    // under the journal's lock).
    QString difference;
    try {
        OpenTables tables(m_context.session, {&journal});
        const journal_balances::Balances b = journal_balances::current(journal);
        difference = differenceWords(counted - (currency == desk::Currency::Euros ? b.euros : b.dinars), code);
    } catch (const engine::EngineError &e) {
        dialogs.message(e.message());
        return false;
    }
    if (!dialogs.confirm(QStringLiteral("%1. Da li ste sigurni?\nPopis gotovine %2 za dan %3: prebrojano %4 %2.")
                             .arg(difference, code, day.toString(DayShown), counted.toText())))
        return false;
    desk::cashcount::Count count;
    try {
        OpenTables tables(m_context.session, {&journal});
        count = desk::cashcount::record(journal, day, currency, pieces,
                                        m_context.window.currentUserName(),
                                        m_context.clock.currentDateTime(),
                                        m_context.session.dateFormat(),
                                        leaveDifference ? desk::cashcount::Difference::Pending
                                                        : desk::cashcount::Difference::PostedNow);
    } catch (const engine::EngineError &e) {
        dialogs.message(e.message());
        return false;
    }
    const engine::Money diff = count.difference();
    QString said = QStringLiteral("Popis je proknjizen: prebrojano %1 %2, knjizno stanje %3 %2")
                       .arg(count.counted.toText(), code, count.book.toText());
    if (diff.isZero())
        said += QStringLiteral(", bez razlike.");
    else if (count.document.isEmpty())
        said += QStringLiteral(", %1 %2 %3; razliku knjizi administrator.")
                    .arg(diff < engine::Money() ? QStringLiteral("manjak") : QStringLiteral("visak"),
                         (diff < engine::Money() ? -diff : diff).toText(), code);
    else
        said += QStringLiteral(", %1 %2 %3 dokumentom %4.")
                    .arg(diff < engine::Money() ? QStringLiteral("manjak") : QStringLiteral("visak"),
                         (diff < engine::Money() ? -diff : diff).toText(), code, count.document);
    dialogs.message(said);
    if (!count.document.isEmpty()) {
        // The difference is a posting: the balances, the export and its upload follow it.
        PageHost &window = m_context.window;
        try {
            window.refreshBalances();
        } catch (const engine::EngineError &e) {
            window.showNoBalances();
            dialogs.message(QStringLiteral("Popis je proknjizen, ali stanje kase nije izracunato: ") +
                            e.message());
        }
        if (window.exportJournal(QStringLiteral("Popis je proknjizen, ali izvoz nije zapisan: ")))
            window.uploadDecision();
    }
    return true;
}
