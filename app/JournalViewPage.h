#pragma once

// JournalViewPage: the journal shown read-only (page 6) with its document numbers,
// "STORNIRAJ" and "STAMPAJ NALOG" for the chosen record, and the reversal of a document that
// the review window's "STORNIRAJ" asks for too.

#include <QObject>
#include <QString>

#include <memory>
#include <optional>

struct PageContext;
class MasterDataPage;
class QWidget;

class JournalViewPage : public QObject
{
public:
    JournalViewPage(PageContext &context, QWidget *page);
    ~JournalViewPage() override;

    void openTable();  // OTVORI TABELU
    void closeTable(); // ZATVORI TABELU
    void BitBtnStornoClick();
    void BitBtnVoucherClick();

    // Reverses the document `number` after "Da li ste sigurni?" in the name of the logged-in
    // user, then shows the balances, writes the export and uploads it as after a posting.
    // True when the reversal is stored.
    bool reverseDocument(const QString &number);
    // Why the document `number` cannot be reversed (no such document, a reversal itself,
    // reversed already, today closed), read in the open journal; empty when it can, and then
    // `question` is the question that names it. Throws EngineError.
    QString reversalRefusal(const QString &number, QString &question);

private:
    // The document number of the chosen record; said and nullopt when there is none.
    std::optional<QString> chosenDocument();

    PageContext &ctx;
    std::unique_ptr<MasterDataPage> grid;
};
