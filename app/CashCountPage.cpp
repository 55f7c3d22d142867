// CashCountPage: the cashier's count page's controls and its count stored in the cashier's name.
#include "CashCountPage.h"

#include "CountSheet.h"
#include "PageContext.h"
#include "UiHelpers.h"

#include "platform/Clock.h"

#include <QComboBox>
#include <QDate>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>

CashCountPage::CashCountPage(PageContext &context, QWidget *page,
                             std::function<void()> backToPosting)
    : m_context(context)
{
    auto *title = named(new QLabel(QStringLiteral("POPIS KASE"), page), "Heading10");
    title->setFont(uiFont(16, true));
    title->setStyleSheet(QStringLiteral("color: navy"));
    title->setGeometry(16, 8, 680, 32);
    auto *currencyLabel = new QLabel(QStringLiteral("Valuta:"), page);
    currencyLabel->setGeometry(32, 60, 60, 26);
    CountSheet::Controls sheet;
    sheet.currency = named(new QComboBox(page), "CashierCountCurrency");
    sheet.currency->addItems({QStringLiteral("DIN"), QStringLiteral("EUR")});
    sheet.currency->setGeometry(96, 60, 110, 26);
    sheet.table = CountSheet::makeTable(page, "CashierCountTable");
    sheet.table->setGeometry(32, 94, 300, 292);
    auto *hint = new QLabel(QStringLiteral("Upisite broj komada svakog apoena (Tab ili Enter: "
                                           "sledeci apoen)."),
                            page);
    hint->setWordWrap(true);
    hint->setGeometry(32, 390, 300, 36);
    sheet.total = named(new QLabel(page), "CashierCountTotal");
    sheet.total->setFont(uiFont(12, true));
    sheet.total->setGeometry(360, 94, 336, 26);
    sheet.book = named(new QLabel(page), "CashierCountBook");
    sheet.book->setGeometry(360, 124, 336, 22);
    sheet.post = named(new QPushButton(QStringLiteral("PROKNJIZI POPIS"), page), "CashierCountPost");
    sheet.post->setFont(uiFont(14, true));
    sheet.post->setGeometry(360, 160, 336, 60);
    auto *back = named(new QPushButton(QStringLiteral("NAZAD NA KNJIZENJE"), page), "CashierCountBack");
    back->setFont(uiFont(10, true));
    back->setGeometry(360, 436, 336, 40);
    count = std::make_unique<CountSheet>(context, sheet);
    connect(sheet.currency, &QComboBox::currentIndexChanged, this, [this] { count->show(); });
    connect(sheet.post, &QPushButton::clicked, this, &CashCountPage::CashierCountPostClick);
    connect(back, &QPushButton::clicked, this, std::move(backToPosting));
}

CashCountPage::~CashCountPage() = default;

void CashCountPage::entered()
{
    QComboBox *currency = count->controls().currency;
    currency->blockSignals(true);
    currency->setCurrentIndex(0);
    currency->blockSignals(false);
    count->show();
    if (auto *first = qobject_cast<QSpinBox *>(count->controls().table->cellWidget(0, 1))) {
        first->setFocus();
        first->selectAll();
    }
}

void CashCountPage::CashierCountPostClick()
{
    // The cashier's count of his till today, in his name; the administrator posts its
    // difference.
    if (count->store(m_context.clock.today(), true))
        count->show();
}
