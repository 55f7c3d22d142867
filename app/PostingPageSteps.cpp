// PostingPage's steps around the posting: the last document's voucher, the cash book's
// preparation at login, the journal export "podaci.txt" written after every posting (through
// the cache of its body), the deposit to the bank and the administrator's allowance of a
// receipt over the cash cap (the rules themselves are desk's, PostingDraft.h).
#include "PostingPage.h"

#include "CashBookPrints.h"
#include "ExportCache.h"
#include "JournalExport.h"
#include "OpenTables.h"
#include "PageContext.h"
#include "PageHost.h"

#include "desk/CashBook.h"
#include "desk/DeskSettings.h"
#include "desk/Deposits.h"
#include "desk/DeskTables.h"
#include "desk/JournalChain.h"
#include "desk/SigningKey.h"
#include "engine/EngineError.h"
#include "engine/Session.h"
#include "engine/Table.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/SystemSettings.h"
#include "platform/TextFiles.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>

#include <optional>

void PostingPage::BitBtnSlipClick()
{
    if (shownDocument.isEmpty()) {
        ctx.dialogs.message(QStringLiteral("Nema proknjizenog dokumenta za stampu"));
        return;
    }
    printVoucher(shownDocument);
}

void PostingPage::printVoucher(const QString &number)
{
    try {
        std::optional<report::Document> document;
        {
            // The journal view keeps its table open; otherwise it is opened for the reading.
            const bool wasOpen = ctx.journal->isOpen();
            std::optional<OpenTables> tables;
            if (!wasOpen)
                tables.emplace(ctx.session, std::initializer_list<engine::Table *>{ctx.journal});
            const std::optional<desk::BookEntry> e = desk::cashbook::entry(*ctx.journal, number);
            if (!e)
                throw engine::EngineError(QStringLiteral("Ne postoji dokument %1").arg(number));
            document = cash_prints::voucher(*e, ctx.clock.currentDateTime(),
                                            desk::settings::read(*ctx.journal),
                                            desk::rates::RateBook::load(*ctx.journal));
        }
        ctx.window.showReport(*document);
    } catch (const engine::EngineError &e) {
        ctx.dialogs.message(e.message());
    }
}

bool PostingPage::prepareCashBook()
{
    try {
        OpenTables tables(ctx.session, {ctx.journal});
        // The first start over an old journal chains every record: that takes a while.
        std::optional<platform::ProgressShown> busy;
        if (!desk::chain::hasChainTable(*ctx.journal))
            busy.emplace(ctx.dialogs, QStringLiteral("Povezivanje zapisa u lanac u toku..."));
        desk::cashbook::prepare(*ctx.journal);
        // An older data directory gets the key that signs its yearly archives; without it the
        // desk works on, and the archive tries again and says why.
        try {
            desk::signing::ensureKey(ctx.window.startDirectory());
        } catch (const engine::EngineError &) {
        }
        return true;
    } catch (const engine::EngineError &e) {
        ctx.dialogs.message(e.message());
        return false;
    }
}

bool PostingPage::exportJournal(const QString &messageStart)
{
    const QString target = QDir::current().filePath(QStringLiteral("podaci.txt"));
    QString reason;
    try {
        OpenTables tables(ctx.session, {ctx.journal});
        // The cache of the encoded records lies beside the journal: only records stored since
        // the last export are read and encoded (see ExportCache.h).
        const QString cache = QFileInfo(ctx.journal->filePath()).dir().filePath(journal_export::CacheFileName);
        if (journal_export::writeExport(*ctx.journal, ctx.session.dateFormat(),
                                        journal_export::headingBytes(platform::formatShortDate(ctx.settings, ctx.clock.today()), Edit2->text(),
                                                                     Edit3->text()),
                                        target, cache, &reason))
            return true;
    } catch (const engine::EngineError &e) {
        ctx.dialogs.message(messageStart + e.message());
        return false;
    }
    // The previous file stays whole; no upload follows.
    ctx.dialogs.message(messageStart + QStringLiteral("podaci.txt: ") + reason);
    return false;
}

void PostingPage::BitBtnDepositClick()
{
    const std::optional<QString> slip = ctx.dialogs.prompt(
        QStringLiteral("POLOG NA RACUN"),
        QStringLiteral("Broj uplatnice (naloga za uplatu pazara na racun):"), QString());
    if (!slip)
        return;
    if (const QString wrong = desk::deposits::slipRefusal(*slip); !wrong.isEmpty()) {
        ctx.dialogs.message(wrong);
        return;
    }
    // A deposit is a payment in dinars; the cashier then types its amount.
    ComboBox2->setCurrentIndex(0);
    ComboBox2Change();
    ComboBox3->setCurrentIndex(0);
    ComboBox3Change();
    Edit5->setText(desk::deposits::reasonFor(*slip));
    if (Edit12->text().trimmed().isEmpty())
        Edit12->setText(desk::deposits::Kind);
    Edit4->setFocus();
}

std::optional<QString> PostingPage::askCapAllowance(const QString &refusal)
{
    const QString caption = QStringLiteral("DOZVOLA ADMINISTRATORA");
    if (!ctx.dialogs.confirmWithButtons(refusal, caption, QStringLiteral("ODUSTANI")))
        return std::nullopt;
    const std::optional<QString> code =
        ctx.dialogs.password(caption, QStringLiteral("Sifra administratora:"));
    if (!code)
        return std::nullopt;
    if (!desk::checkAdminCode(ctx.window.startDirectory(), *code)) {
        ctx.dialogs.message(QStringLiteral("Sifra administratora nije ispravna: promena nije proknjizena"));
        return std::nullopt;
    }
    const std::optional<QString> why = ctx.dialogs.prompt(
        caption, QStringLiteral("Razlog (npr. pozajmica vlasnika blagajni):"), QString());
    if (!why || why->trimmed().isEmpty()) {
        ctx.dialogs.message(QStringLiteral("Razlog nije dat: promena nije proknjizena"));
        return std::nullopt;
    }
    return why->trimmed();
}
