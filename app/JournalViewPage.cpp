// JournalViewPage: the journal's read-only grid, the reversal of a document and its voucher.
#include "JournalViewPage.h"

#include "DBGrid.h"
#include "LeadColumn.h"
#include "MasterDataPage.h"
#include "PageContext.h"
#include "PageHost.h"
#include "TableModel.h"
#include "UiHelpers.h"

#include "desk/CashBook.h"
#include "desk/DeskTables.h"
#include "engine/EngineError.h"
#include "engine/Session.h"
#include "engine/Table.h"
#include "engine/TextForms.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/SystemSettings.h"

#include <QPushButton>
#include <QStackedWidget>

JournalViewPage::JournalViewPage(PageContext &context, QWidget *page)
    : QObject(page), ctx(context)
{
    const MasterDataPage::Names names{PageJournal, "BitBtn16",  "DBGrid4", "DBNavigator3",
                                      "BitBtn14",  "BitBtn15", true};
    grid = std::make_unique<MasterDataPage>(ctx, page, *ctx.journal, names, [this](QWidget *p) {
        auto *storno = named(new QPushButton(QStringLiteral("STORNIRAJ"), p), "BitBtnStorno");
        storno->setFont(uiFont(9, true));
        storno->setGeometry(16, 50, 140, 36);
        connect(storno, &QPushButton::clicked, this, &JournalViewPage::BitBtnStornoClick);
        auto *voucher =
            named(new QPushButton(QStringLiteral("STAMPAJ NALOG"), p), "BitBtnVoucher");
        voucher->setFont(uiFont(9, true));
        voucher->setGeometry(164, 50, 140, 36);
        connect(voucher, &QPushButton::clicked, this, &JournalViewPage::BitBtnVoucherClick);
    });
    DBGrid *view = grid->grid();
    TableModel *source = grid->source();
    // The document column wide enough for a reversed number with its mark (the grid's
    // columns are laid out anew whenever the table opens).
    connect(source, &QAbstractItemModel::modelReset, view, [view] {
        view->setColumnWidth(
            0, view->fontMetrics().horizontalAdvance(QStringLiteral("U-2026-000000 (storniran)"))
                   + 16);
    });
    // The grid reads the journal only while its page is shown: the postings and reports
    // open and close the journal many times, and a grid out of sight that followed would
    // count a long journal at every opening.
    // The document numbers beside the journal's own fields.
    source->setLeadColumn(QStringLiteral("DOKUMENT"), documentNumbers(*ctx.journal));
    QStackedWidget *notebook = &ctx.window.notebook();
    source->setFollowing(notebook->currentIndex() == PageJournal);
    connect(notebook, &QStackedWidget::currentChanged, this,
            [source](int index) { source->setFollowing(index == PageJournal); });
}

JournalViewPage::~JournalViewPage() = default;

void JournalViewPage::openTable()
{
    grid->openTable();
}

void JournalViewPage::closeTable()
{
    grid->closeTable();
}

std::optional<QString> JournalViewPage::chosenDocument()
{
    engine::Table &journal = *ctx.journal;
    QString number;
    try {
        if (journal.isOpen() && journal.recordId() >= 0)
            number = desk::cashbook::numberOf(journal, journal.recordId());
    } catch (const engine::EngineError &e) {
        ctx.dialogs.message(e.message());
        return std::nullopt;
    }
    if (number.isEmpty()) {
        ctx.dialogs.message(QStringLiteral("Prvo otvorite tabelu i izaberite dokument"));
        return std::nullopt;
    }
    return number;
}

void JournalViewPage::BitBtnStornoClick()
{
    if (const std::optional<QString> number = chosenDocument())
        reverseDocument(*number);
}

void JournalViewPage::BitBtnVoucherClick()
{
    if (const std::optional<QString> number = chosenDocument())
        ctx.window.printVoucher(*number);
}

QString JournalViewPage::reversalRefusal(const QString &number, QString &question)
{
    engine::Table &journal = *ctx.journal;
    // The cash book's own rules (desk::cashbook::reversalRefusal), asked before the question;
    // the reversal asks them again inside its transaction.
    if (const QString refusal = desk::cashbook::reversalRefusal(journal, number, ctx.clock.today());
        !refusal.isEmpty())
        return refusal;
    const std::optional<desk::BookEntry> original = desk::cashbook::entry(journal, number);
    const desk::BookEntry &e = *original;
    const bool euros = e.eurosIn != engine::Money() || e.eurosOut != engine::Money();
    const engine::Money amount = euros ? (e.eurosIn != engine::Money() ? e.eurosIn : e.eurosOut)
                                       : (e.dinarsIn != engine::Money() ? e.dinarsIn : e.dinarsOut);
    question = QStringLiteral("Da li ste sigurni?\nStorno dokumenta %1 od %2: %3 %4 %5, %6")
                   .arg(number, platform::formatShortDate(ctx.settings, e.date),
                        desk::kindOf(e) == desk::DocumentKind::Receipt ? QStringLiteral("ULAZ")
                                                                       : QStringLiteral("IZLAZ"),
                        amount.toText(), euros ? QStringLiteral("EUR") : QStringLiteral("DIN"),
                        e.description);
    return {};
}

bool JournalViewPage::reverseDocument(const QString &number)
{
    engine::Table &journal = *ctx.journal;
    PageHost &window = ctx.window;
    // The journal view keeps its table open; the export closes the session, so the view
    // opens it again after it, on the record it stood on.
    const bool viewOpen = journal.isOpen();
    const qint64 viewRecord = viewOpen ? journal.recordId() : -1;
    // What cannot be reversed is said before the question, which names the document.
    QString question;
    QString refusal;
    try {
        if (!viewOpen) {
            ctx.session.setPassword(desk::tablePassword());
            journal.open();
        }
        refusal = reversalRefusal(number, question);
    } catch (const engine::EngineError &e) {
        refusal = e.message();
    }
    if (!refusal.isEmpty() || !ctx.dialogs.confirm(question)) {
        if (!refusal.isEmpty())
            ctx.dialogs.message(refusal);
        if (!viewOpen)
            ctx.session.close(); // after the dialog: the review window's list stays while it shows
        return false;
    }
    try {
        if (!viewOpen) {
            ctx.session.setPassword(desk::tablePassword());
            journal.open();
        }
        const desk::BookEntry reversal = desk::cashbook::reverse(
            journal, number, window.currentUserName(), ctx.clock.today(),
            engine::timeText(ctx.clock.now()), ctx.session.dateFormat());
        ctx.dialogs.message(QStringLiteral("Dokument %1 je storniran dokumentom %2")
                                .arg(number, reversal.number));
    } catch (const engine::EngineError &e) {
        if (!viewOpen)
            ctx.session.close();
        ctx.dialogs.message(e.message());
        return false;
    }
    // A reversal is a posting: the balances, the export and its upload follow it alike.
    try {
        window.refreshBalances();
    } catch (const engine::EngineError &e) {
        window.showNoBalances();
        ctx.dialogs.message(
            QStringLiteral("Storno je proknjizen, ali stanje kase nije izracunato: ") +
            e.message());
    }
    if (window.exportJournal(QStringLiteral("Storno je proknjizen, ali izvoz nije zapisan: ")))
        window.uploadDecision();
    if (viewOpen) {
        grid->openTable();
        if (journal.isOpen())
            journal.moveToId(viewRecord);
    }
    return true;
}
