// TForm1's side of the posting page: making the PostingPage on its page, the handlers and
// seams that keep their names on the window, the status line the page shares with the upload,
// and the administrator's warning of receipts not deposited (on the administrator's menu).
#include "Unit1.h"

#include "OpenTables.h"
#include "ExportUpload.h"
#include "PostingPage.h"
#include "Unit2.h"

#include "desk/Deposits.h"
#include "engine/EngineError.h"
#include "engine/Session.h"
#include "engine/Table.h"
#include "platform/Clock.h"

#include <QLabel>
#include <QStackedWidget>

void TForm1::buildPostingPage()
{
    postingPage = std::make_unique<PostingPage>(pageContext(), Notebook1->widget(PagePosting));
}

void TForm1::ComboBox2Change() { postingPage->ComboBox2Change(); }
void TForm1::ComboBox3Change() { postingPage->ComboBox3Change(); }
void TForm1::Edit4Enter() { postingPage->Edit4Enter(); }
void TForm1::Edit4KeyPress(QChar &key) { postingPage->Edit4KeyPress(key); }
void TForm1::ComboBox1Change() { postingPage->ComboBox1Change(); }
void TForm1::Edit5KeyPress(QChar &key) { postingPage->Edit5KeyPress(key); }
void TForm1::ComboBox4Change() { postingPage->ComboBox4Change(); }
void TForm1::Edit12KeyPress(QChar &key) { postingPage->Edit12KeyPress(key); }
void TForm1::BitBtn18Click() { postingPage->BitBtn18Click(reviewWindow); }
void TForm1::BitBtnSlipClick() { postingPage->BitBtnSlipClick(); }
void TForm1::BitBtnDepositClick() { postingPage->BitBtnDepositClick(); }
void TForm1::refreshBalances() { postingPage->refreshBalances(); }
QString TForm1::closedDay(const QString &dayText) { return postingPage->closedDay(dayText); }
void TForm1::offerFirstGroup() { postingPage->offerFirstGroup(); }
void TForm1::resetPostingChoices() { postingPage->resetPostingChoices(); }
void TForm1::showNoBalances() { postingPage->showNoBalances(); }
bool TForm1::prepareCashBook() { return postingPage->prepareCashBook(); }
bool TForm1::exportJournal(const QString &messageStart)
{
    return postingPage->exportJournal(messageStart);
}
void TForm1::printVoucher(const QString &number) { postingPage->printVoucher(number); }
void TForm1::forgetShownDocument() { postingPage->forgetShownDocument(); }

void TForm1::BitBtn8Click()
{
    exportUpload->clearShownSuccess(); // the last upload's success was news until now
    postingPage->BitBtn8Click();
}

void TForm1::clearPostingBoxes()
{
    postingPage->clearPostingBoxes();
    showStatusLine();
}

void TForm1::showStatusLine()
{
    postingPage->showStatusLine(exportUpload->status(), exportUpload->showsFailure());
}

void TForm1::showDepositWarnings()
{
    QStringList lines;
    try {
        OpenTables tables(session, {context.journal});
        lines = desk::deposits::warningLines(
            desk::deposits::overdue(*context.journal, clock.today()));
    } catch (const engine::EngineError &e) {
        lines << e.message();
    }
    LabelDeposits->setText(lines.join(QLatin1Char('\n')));
    LabelDeposits->setToolTip(LabelDeposits->text());
}
