#pragma once

// CashCountPage: the cashier's own cash count (page 10, "POPIS KASE" on the posting page). The
// same table of denominations as the administrator's (a CountSheet), of the cashier's till
// today, stored in the cashier's name with its difference left for the administrator; blind
// when the desk settings say so. "NAZAD NA KNJIZENJE" goes back to the posting page.

#include <QObject>

#include <functional>
#include <memory>

class CountSheet;
class QWidget;
struct PageContext;

class CashCountPage : public QObject
{
public:
    // Creates the page's controls on `page`; `backToPosting` is what "NAZAD NA KNJIZENJE" does.
    CashCountPage(PageContext &context, QWidget *page, std::function<void()> backToPosting);
    ~CashCountPage() override;

    // The page was opened: dinars chosen, an empty count, the first box focused.
    void entered();
    void CashierCountPostClick(); // PROKNJIZI POPIS

private:
    PageContext &m_context;
    // CashierCountCurrency, CashierCountTable, CashierCountTotal, CashierCountBook,
    // CashierCountPost
    std::unique_ptr<CountSheet> count;
};
