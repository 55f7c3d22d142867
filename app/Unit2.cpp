// TForm2, the review window: its controls, the loads of the cashier's postings and the
// review report.
#include "Unit2.h"

#include "CashBookPrints.h"

#include "desk/CashBook.h"
#include "desk/DeskTables.h"
#include "desk/JournalColumns.h"
#include "QueryDataSource.h"
#include "QueryModel.h"
#include "SqlText.h"
#include "UiHelpers.h"

#include "engine/EngineError.h"
#include "engine/Query.h"
#include "engine/Session.h"
#include "engine/Table.h"
#include "engine/TextForms.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/SystemSettings.h"
#include "report/Document.h"
#include "report/TurnoverReport.h"

#include <QCloseEvent>
#include <QDateEdit>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <QSet>
#include <QStyle>
#include <QTableView>

#include <algorithm>
#include <array>
#include <memory>

namespace {

constexpr int ClientWidth = 826;
constexpr int ClientHeight = 446;
constexpr int PanelHeight = 89;

QPushButton *coloredButton(const QString &text, const char *name, const char *color,
                           QWidget *parent)
{
    auto *b = named(new QPushButton(text, parent), name);
    b->setFont(uiFont(9, true));
    b->setStyleSheet(QStringLiteral("color: %1").arg(QLatin1String(color)));
    return b;
}

// The review's records as the query gives them, a reversed record's description marked as
// the grid marks its number: "I-2026-000003 (storniran): Isplata".
class MarkedRecords final : public report::DataSource
{
public:
    MarkedRecords(std::shared_ptr<report::DataSource> records, QHash<int, QString> marks)
        : records(std::move(records)), marks(std::move(marks))
    {
    }
    int recordCount() const override { return records->recordCount(); }
    bool moveTo(int index) override
    {
        current = index;
        return records->moveTo(index);
    }
    QString text(const QString &field) const override
    {
        const QString text = records->text(field);
        const auto mark = marks.constFind(current);
        if (mark == marks.cend() || field.compare(desk::columns::Reason, Qt::CaseInsensitive) != 0)
            return text;
        return *mark + QStringLiteral(" (storniran): ") + text;
    }
    std::optional<qint64> hundredths(const QString &field) const override
    {
        return records->hundredths(field);
    }
    QString readError() const override { return records->readError(); }

private:
    std::shared_ptr<report::DataSource> records;
    QHash<int, QString> marks;
    int current = -1;
};

enum { DinarsIn, DinarsOut, EurosIn, EurosOut };
using Amounts = std::array<engine::Money, 4>;

} // namespace

TForm2::TForm2(engine::Session &session, platform::Dialogs &dialogs, const platform::Clock &clock,
               const platform::SystemSettings &settings, QWidget *parent)
    : QWidget(parent, Qt::Window), session(session), dialogs(dialogs), clock(clock),
      settings(settings),
      reportPreview([this](report::Document &document) { showPreviewWindow(document, this); })
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Pregled knjizenja za korisnika koji trenutno knjizi u DORVANTI"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(ClientWidth, ClientHeight);
    // The review window ends with the main window; it never keeps the program running.
    setAttribute(Qt::WA_QuitOnClose, false);

    Table1 = new engine::Table(session, QStringLiteral("podaci/promet.db"), this);
    Query1 = new engine::Query(session, this);

    auto *panel = named(new QWidget(this), "Panel1");
    panel->setGeometry(0, 0, ClientWidth, PanelHeight);

    Label2 = named(new QLabel(QStringLiteral("Korisnik"), panel), "Label2");
    QFont nameFont(QStringLiteral("Arial"), 10);
    nameFont.setBold(true);
    Label2->setFont(nameFont);
    Label2->setStyleSheet(QStringLiteral("color: green"));
    Label2->setGeometry(8, 4, 260, 18);

    auto *searchLabel = new QLabel(QStringLiteral("Unesi rec za pretragu tabele"), panel);
    searchLabel->setGeometry(8, 26, 200, 16);
    Edit1 = named(new QLineEdit(panel), "Edit1");
    Edit1->setGeometry(8, 44, 180, 24);
    Edit1->installEventFilter(this);
    BitBtn2 = coloredButton(QStringLiteral("PRETRAZI!"), "BitBtn2", "red", panel);
    BitBtn2->setGeometry(196, 42, 90, 28);

    auto *periodLabel = new QLabel(QStringLiteral("U periodu:"), panel);
    periodLabel->setGeometry(300, 8, 120, 16);
    auto *fromLabel = new QLabel(QStringLiteral("Od--->"), panel);
    fromLabel->setGeometry(300, 30, 50, 20);
    auto *toLabel = new QLabel(QStringLiteral("Do --->"), panel);
    toLabel->setGeometry(300, 58, 50, 20);
    const QString pickerForm = settings.shortDateFormat();
    DateTimePicker1 = named(new QDateEdit(panel), "DateTimePicker1");
    DateTimePicker2 = named(new QDateEdit(panel), "DateTimePicker2");
    for (QDateEdit *picker : {DateTimePicker1, DateTimePicker2}) {
        picker->setCalendarPopup(true);
        picker->setDisplayFormat(pickerForm);
        picker->setDate(clock.today());
    }
    DateTimePicker1->setGeometry(352, 28, 120, 24);
    DateTimePicker2->setGeometry(352, 56, 120, 24);

    BitBtn1 = coloredButton(QStringLiteral("PRIKAZI SVA KNJIZENJA"), "BitBtn1", "purple", panel);
    BitBtn1->setGeometry(480, 14, 166, 36);
    auto *periodHint = new QLabel(QStringLiteral("(za izabrani period)"), panel);
    periodHint->setAlignment(Qt::AlignCenter);
    periodHint->setGeometry(480, 52, 130, 16);
    BitBtn3 = coloredButton(QStringLiteral("STAMPAJ OVAJ IZVESTAJ"), "BitBtn3", "green", panel);
    BitBtn3->setGeometry(652, 14, 168, 36);
    BitBtnStorno = coloredButton(QStringLiteral("STORNIRAJ"), "BitBtnStorno", "maroon", panel);
    BitBtnStorno->setGeometry(740, 54, 80, 30);
    BitBtnVoucher = coloredButton(QStringLiteral("STAMPAJ NALOG"), "BitBtnVoucher", "navy", panel);
    BitBtnVoucher->setGeometry(614, 54, 122, 30);

    model = new QueryModel(*Query1,
                           {desk::columns::Day, desk::columns::Time,
                            desk::columns::DinarsOut, desk::columns::DinarsIn,
                            desk::columns::EurosOut, desk::columns::EurosIn,
                            desk::columns::Reason, desk::columns::Group},
                           this);
    // The document number of each row, read beside the record; a reversed one is marked.
    model->setLeadColumn(QStringLiteral("DOKUMENT"), documentNumbers(*Table1));
    DBGrid1 = named(new QTableView(this), "DBGrid1");
    DBGrid1->setModel(model);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->verticalHeader()->setDefaultSectionSize(20);
    DBGrid1->setGeometry(0, PanelHeight, ClientWidth, ClientHeight - PanelHeight);
    // The date, the time and the amounts are shown whole (amounts up to 1234567.89 without
    // widening the column); the description and the group keep their widths, and the grid
    // scrolls sideways when the columns are wider than the window.
    const QFontMetrics cellMetrics(DBGrid1->font());
    const QFontMetrics headerMetrics(DBGrid1->horizontalHeader()->font());
    const int padding =
        2 * (DBGrid1->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, DBGrid1) + 1) + 8;
    for (int column = 0; column < 7; ++column) {
        const QString sample = column == 0   ? QStringLiteral("U-2026-000000 (storniran)")
                               : column == 1 ? QStringLiteral("dd/MM/yyyy")
                               : column == 2 ? QStringLiteral("00:00:00")
                                             : QStringLiteral("1234567.89");
        const QString heading = model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
        DBGrid1->setColumnWidth(column, std::max(cellMetrics.horizontalAdvance(sample),
                                                 headerMetrics.horizontalAdvance(heading)) +
                                            padding);
    }
    DBGrid1->setColumnWidth(7, 320);
    DBGrid1->setColumnWidth(8, 95);
    DBGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    for (QPushButton *button : {BitBtn1, BitBtn2, BitBtn3, BitBtnStorno, BitBtnVoucher})
        button->setAutoDefault(true); // Enter on a focused button presses it
    connect(BitBtn1, &QPushButton::clicked, this, &TForm2::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TForm2::BitBtn2Click);
    connect(BitBtn3, &QPushButton::clicked, this, &TForm2::BitBtn3Click);
    connect(BitBtnStorno, &QPushButton::clicked, this, &TForm2::BitBtnStornoClick);
    connect(BitBtnVoucher, &QPushButton::clicked, this, &TForm2::BitBtnVoucherClick);

    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

TForm2::~TForm2() = default;

QString TForm2::statement() const
{
    return Query1->sql().join(QLatin1Char('\n'));
}

// ---------------------------------------------------------------------------------------
// Window events

void TForm2::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TForm2::closeEvent(QCloseEvent *event)
{
    FormClose();
    event->accept(); // a closed top-level window is hidden, and shown again by the button
}

bool TForm2::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate) {
        const bool handled = QWidget::event(event);
        FormActivate();
        return handled;
    }
    return QWidget::event(event);
}

bool TForm2::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Edit1) {
        if (focusMovedWithinWindow(event)) {
            Edit1Enter();
        } else if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                QChar c(u'\r');
                Edit1KeyPress(c);
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------
// Handlers

void TForm2::FormShow()
{
    load(baseStatement(), {});
}

void TForm2::FormActivate()
{
    const QDate to = clock.today();
    const QDate from = to.addDays(-30);
    DateTimePicker1->setDate(from);
    DateTimePicker2->setDate(to);
    BitBtn1Click();
    DateTimePicker1->setDate(from);
    DateTimePicker2->setDate(to);
}

void TForm2::BitBtn1Click()
{
    load(baseStatement() + periodCondition(), {true, pickerText(DateTimePicker1),
                                              pickerText(DateTimePicker2), QString()});
}

void TForm2::BitBtn2Click()
{
    const QString statement = baseStatement() + QStringLiteral(" and (upper(opis) like upper(") +
                              QLatin1Char('\'') + QLatin1Char('%') +
                              sqlEscape(likeLiteral(Edit1->text())) + QLatin1Char('%') +
                              QLatin1Char('\'') + QLatin1Char(')') +
                              likeEscapeClause(Edit1->text()) + QLatin1Char(')') +
                              periodCondition();
    if (!load(statement, {true, pickerText(DateTimePicker1), pickerText(DateTimePicker2),
                          Edit1->text()}))
        return;
    if (Query1->recordCount() == 0) {
        dialogs.message(
            QStringLiteral("Ne postoji ni jedan zapis za ovaj kriterijum u zadatom periodu!"));
        afterOwnDialog();
    }
}

void TForm2::Edit1Enter()
{
    Edit1->clear();
}

void TForm2::Edit1KeyPress(QChar &key)
{
    if (key != u'\r')
        return;
    key = QChar();
    BitBtn2->setFocus();
    BitBtn2->click();
}

void TForm2::BitBtn3Click()
{
    if (!Query1->isOpen() || Query1->recordCount() == 0) {
        dialogs.message(QStringLiteral("Nema zapisa koji bi se stampali!"));
        afterOwnDialog();
        return;
    }
    // The titles say what the list holds: the period and the word of its load, whatever the
    // pickers and the search box show now.
    // Rows whose documents were reversed are marked, and what was reversed is printed under
    // the totals with the totals net of it.
    QHash<int, QString> reversed;
    QHash<QString, QString> lines;
    try {
        reversed = reversedRows();
        if (!reversed.isEmpty())
            lines = reversalLines(reversed);
    } catch (const engine::EngineError &e) {
        dialogs.message(e.message()); // no printout that would leave a reversal out unseen
        afterOwnDialog();
        return;
    }
    report::Report layout = report::reviewReport(!lines.isEmpty());
    for (auto line = lines.cbegin(); line != lines.cend(); ++line)
        layout.setText(line.key(), line.value());
    layout.setText(QString::fromLatin1(report::TitleLine1),
                   loaded.period ? QStringLiteral("Promet dorvante za period od ") + loaded.from +
                                       QStringLiteral(" do ") + loaded.to
                                 : QStringLiteral("Promet dorvante od pocetka pracenja prometa"));
    layout.setText(QString::fromLatin1(report::TitleLine3),
                   loaded.word.isEmpty()
                       ? QString()
                       : QStringLiteral("Rezultat pretrage po reci za pretragu: ") + loaded.word);
    const QModelIndex current = DBGrid1->currentIndex();
    const int row = current.isValid() ? current.row() : 0;
    const int korisnik = Query1->fieldIndex(desk::columns::Cashier);
    layout.setText(QString::fromLatin1(report::TitleLine2),
                   QStringLiteral("Za dorvantika: ") +
                       (korisnik >= 0 ? Query1->textAt(row, korisnik) : QString()));

    std::shared_ptr<report::DataSource> records = std::make_shared<QueryDataSource>(*Query1);
    if (!reversed.isEmpty())
        records = std::make_shared<MarkedRecords>(std::move(records), reversed);
    report::Document document(layout, records);
    document.setPrintTime(clock.currentDateTime());
    document.setDateFormat(settings.shortDateFormat());
    report::Document printed = cash_prints::onShopPaper(document, desk::settings::read(*Table1));
    reportPreview(printed);
    afterOwnDialog();
}

void TForm2::BitBtnStornoClick()
{
    QString number;
    try {
        const QModelIndex current = DBGrid1->currentIndex();
        if (Query1->isOpen() && current.isValid() && !Label2->text().isEmpty())
            number = numberOfRow(current.row());
    } catch (const engine::EngineError &e) {
        dialogs.message(e.message());
        afterOwnDialog();
        return;
    }
    if (number.isEmpty())
        dialogs.message(QStringLiteral("Prvo izaberite dokument"));
    else if (reversal)
        reversal(number);
    afterOwnDialog(); // the list shows the reversal
}

void TForm2::BitBtnVoucherClick()
{
    std::optional<report::Document> document;
    try {
        const QModelIndex current = DBGrid1->currentIndex();
        const QString number = Query1->isOpen() && current.isValid() && !Label2->text().isEmpty()
                                   ? numberOfRow(current.row())
                                   : QString();
        if (number.isEmpty())
            throw engine::EngineError(QStringLiteral("Prvo izaberite dokument"));
        const std::optional<desk::BookEntry> e = desk::cashbook::entry(*Table1, number);
        if (!e)
            throw engine::EngineError(QStringLiteral("Ne postoji dokument %1").arg(number));
        document = cash_prints::voucher(*e, clock.currentDateTime(),
                                           desk::settings::read(*Table1),
                                           desk::rates::RateBook::load(*Table1));
    } catch (const engine::EngineError &e) {
        dialogs.message(e.message());
        afterOwnDialog();
        return;
    }
    reportPreview(*document);
    afterOwnDialog();
}

QHash<int, QString> TForm2::reversedRows()
{
    QHash<int, QString> out;
    if (!Table1->isOpen()) {
        session.setPassword(desk::tablePassword());
        Table1->open();
    }
    try {
        Table1->runBeside(QStringLiteral("SELECT 1 FROM dorvanta_dokument LIMIT 1"));
    } catch (const engine::EngineError &) {
        return out; // a journal without document numbers yet has no reversals either
    }
    const int rows = Query1->recordCount();
    constexpr int Chunk = 200; // documentMarks() reads a few hundred at a time
    for (int first = 0; first < rows; first += Chunk) {
        QList<qint64> ids;
        QHash<qint64, int> rowOf;
        for (int row = first; row < std::min(rows, first + Chunk); ++row) {
            const qint64 id = Query1->recordIdAt(row);
            if (id >= 0) {
                ids << id;
                rowOf.insert(id, row);
            }
        }
        const QHash<qint64, desk::cashbook::DocumentMark> marks =
            desk::cashbook::documentMarks(*Table1, ids);
        for (auto m = marks.cbegin(); m != marks.cend(); ++m) {
            if (m->reversed)
                out.insert(rowOf.value(m.key()), m->number);
        }
    }
    return out;
}

QHash<QString, QString> TForm2::reversalLines(const QHash<int, QString> &reversed)
{
    QHash<QString, QString> lines;
    const int rows = Query1->recordCount();
    const QStringList fields{desk::columns::DinarsIn, desk::columns::DinarsOut,
                             desk::columns::EurosIn, desk::columns::EurosOut};
    Amounts sums{};
    QSet<qint64> listed;
    for (int row = 0; row < rows; ++row) {
        listed.insert(Query1->recordIdAt(row));
        for (int f = 0; f < 4; ++f)
            sums[size_t(f)] += Query1->moneyAt(row, Query1->fieldIndex(fields.at(f)));
    }
    // A reversal the list holds (the cashier's own, in the period) is in its totals already;
    // one it does not hold (in another user's name, the administrator's, or of a later day)
    // is not: the originals it reverses are what was reversed.
    Amounts reversedSums{};
    QStringList documents;
    QList<int> order = reversed.keys();
    std::sort(order.begin(), order.end());
    for (const int row : std::as_const(order)) {
        const QString number = reversed.value(row);
        const QString reversal = desk::cashbook::reversalOf(*Table1, number);
        const std::optional<desk::BookEntry> e = desk::cashbook::entry(*Table1, reversal);
        if (!e || listed.contains(e->id))
            continue;
        // The reversal carries the opposite amounts in the same fields.
        const Amounts amounts{-e->dinarsIn, -e->dinarsOut, -e->eurosIn, -e->eurosOut};
        for (size_t f = 0; f < 4; ++f)
            reversedSums[f] += amounts[f];
        documents << QStringLiteral("%1 (storno %2, %3, %4)")
                         .arg(number, reversal, e->cashier,
                              platform::formatShortDate(settings, e->date));
    }
    if (documents.isEmpty())
        return lines; // every reversal is in the list, and so in its totals
    const char *columns[] = {"DinarsIn", "DinarsOut", "EurIn", "EurOut"};
    lines.insert(QStringLiteral("ReversedTitle"),
                   QStringLiteral("STORNIRANO (storno nije u ovom spisku)"));
    lines.insert(QStringLiteral("NetTitle"), QStringLiteral("POSLE STORNA"));
    for (size_t f = 0; f < 4; ++f) {
        lines.insert(QStringLiteral("Reversed") + QLatin1String(columns[f]),
                       reversedSums[f].toText());
        lines.insert(QStringLiteral("Net") + QLatin1String(columns[f]),
                       (sums[f] - reversedSums[f]).toText());
    }
    const engine::Money netDinars =
        sums[DinarsIn] - reversedSums[DinarsIn] - sums[DinarsOut] + reversedSums[DinarsOut];
    const engine::Money netEuros =
        sums[EurosIn] - reversedSums[EurosIn] - sums[EurosOut] + reversedSums[EurosOut];
    lines.insert(QStringLiteral("NetBalanceTitle"),
                   QStringLiteral("UKUPNO POSLE STORNA: DINARA / EUR"));
    lines.insert(QStringLiteral("NetBalanceDinars"), netDinars.toText());
    lines.insert(QStringLiteral("NetBalanceEur"), netEuros.toText());
    lines.insert(QStringLiteral("ReversedDocuments"),
                 QStringLiteral("Stornirani: ") + documents.join(QStringLiteral("; ")));
    return lines;
}

QString TForm2::numberOfRow(int row)
{
    const qint64 id = Query1->recordIdAt(row);
    if (id < 0)
        return {};
    if (!Table1->isOpen()) {
        session.setPassword(desk::tablePassword());
        Table1->open();
    }
    return desk::cashbook::numberOf(*Table1, id);
}

void TForm2::FormClose()
{
    Table1->close();
    Query1->close();
    session.close();
}

void TForm2::logOut()
{
    hide();
    Label2->clear();
    Edit1->clear();
    Table1->close();
    Query1->close(); // the grid follows its query and is empty now
}

// ---------------------------------------------------------------------------------------
// Loads

QString TForm2::baseStatement() const
{
    return QStringLiteral("select * from podaci\\promet.db where (korisnik='") +
           sqlEscape(Label2->text()) + QLatin1Char('\'') + QLatin1Char(')');
}

QString TForm2::pickerText(const QDateEdit *picker) const
{
    return platform::formatShortDate(settings, picker->date());
}

QString TForm2::periodCondition() const
{
    return QStringLiteral(" and (datum between ") + QLatin1Char('\'') +
           sqlDateLiteral(pickerText(DateTimePicker1)) + QLatin1Char('\'') +
           QStringLiteral(" and ") + QLatin1Char('\'') +
           sqlDateLiteral(pickerText(DateTimePicker2)) + QLatin1Char('\'') + QLatin1Char(')');
}

bool TForm2::load(const QString &statement, const Filter &filter)
{
    loaded = filter;
    try {
        session.close();
        Table1->close();
        Query1->close();
        session.setPassword(desk::tablePassword());
        Table1->open();
        Query1->sql().clear();
        Query1->sql().append(statement);
        Query1->open();
    } catch (const engine::EngineError &e) {
        Query1->close();
        dialogs.message(e.message());
        return false;
    }
    return true;
}

void TForm2::afterOwnDialog()
{
    // Closing a message box or the preview that this window opened makes it the active
    // window again, which resets the period to the last 30 days and reloads it. The
    // activation of a real dialog's closing may come later and reload once more, which
    // shows the same list; the explicit call makes the order of events the same whoever
    // answers the dialog.
    FormActivate();
}
