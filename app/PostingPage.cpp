// PostingPage: the posting page's controls, the currency/direction/reason/group handlers, the
// posting of one journal record after the desk's answer to its draft, and the balance refresh.
// The voucher, the cash book's preparation, the journal export, the deposit and the cap
// allowance are in PostingPageSteps.cpp.
#include "PostingPage.h"

#include "OpenTables.h"
#include "PageContext.h"
#include "PageHost.h"
#include "UiHelpers.h"
#include "Unit2.h"

#include "desk/CashCap.h"
#include "desk/DeskSettings.h"
#include "desk/JournalBalances.h"
#include "desk/Posting.h"
#include "desk/PostingDraft.h"
#include "engine/EngineError.h"
#include "engine/Money.h"
#include "engine/Session.h"
#include "engine/Table.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/TextFiles.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QKeyEvent>
#include <QKeySequence>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>

#include <optional>

namespace {

const QString ActivityPrompt = QStringLiteral("Izaberite aktivnost ovde ako se ona cesto koristi...");
const QString GroupPrompt = QStringLiteral("Izaberite grupu na koju se odnosi ulaz/izlaz...");

// A combo box's prompt is shown text, never a value: the first key that types (or pastes)
// into a box that shows its prompt replaces the prompt, as if the whole text were selected;
// Backspace and Delete take the prompt away whole.
class PromptReplacer : public QObject
{
public:
    // Keys reach the combo box, which hands them to its line edit directly; the line edit's
    // own keys (sent to it) are watched too.
    PromptReplacer(QComboBox *combo, const QString &prompt)
        : QObject(combo), combo(combo), edit(combo->lineEdit()), prompt(prompt)
    {
        combo->installEventFilter(this);
        edit->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if ((watched != edit && watched != combo) || event->type() != QEvent::KeyPress
            || edit->text() != prompt)
            return false;
        const auto *key = static_cast<const QKeyEvent *>(event);
        if (key->key() == Qt::Key_Backspace || key->key() == Qt::Key_Delete) {
            edit->clear();
            return true;
        }
        const QString typed = key->text();
        if (key->matches(QKeySequence::Paste) || (!typed.isEmpty() && typed.at(0).isPrint()))
            edit->clear(); // the key itself then goes into the empty box
        return false;
    }

private:
    QComboBox *combo;
    QLineEdit *edit;
    QString prompt;
};

// What a combo box's text gives its box: the text without the prompt, should the prompt have
// come into it some other way (dropped or pasted in the middle); nothing while it shows the
// prompt alone.
QString withoutPrompt(const QString &text, const QString &prompt)
{
    QString value = text;
    value.remove(prompt);
    return value == text ? value : value.trimmed();
}

} // namespace

PostingPage::PostingPage(PageContext &context, QWidget *page) : ctx(context)
{

    Label8 = named(new QLabel(QStringLiteral("00/00/0000"), page), "Label8");
    Label8->setFont(uiFont(20, true));
    Label8->setStyleSheet(QStringLiteral("color: red"));
    Label8->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label8->setGeometry(400, 16, 272, 36);

    auto *dinLabel = named(new QLabel(QStringLiteral("Stanje kase u dinarima"), page), "Label6");
    dinLabel->setGeometry(328, 68, 180, 20);
    Edit2 = named(new QLineEdit(QStringLiteral("0.00"), page), "Edit2");
    Edit2->setReadOnly(true);
    Edit2->setFont(uiFont(14, true));
    Edit2->setAlignment(Qt::AlignRight);
    Edit2->setGeometry(512, 58, 158, 40);

    auto *eurLabel = named(new QLabel(QStringLiteral("Stanje kase u EUR"), page), "Label7");
    eurLabel->setGeometry(328, 126, 180, 20);
    Edit3 = named(new QLineEdit(QStringLiteral("0.00"), page), "Edit3");
    Edit3->setReadOnly(true);
    Edit3->setFont(uiFont(14, true));
    Edit3->setAlignment(Qt::AlignRight);
    Edit3->setGeometry(512, 116, 158, 40);
    // Every balance up to 999,999,999,999.99 either way is shown whole, sign included.
    for (QLineEdit *balance : {Edit2, Edit3}) {
        connect(balance, &QLineEdit::textChanged, balance,
                [balance] { fitLineEditText(balance, 14); });
    }

    Label10 = named(new QLabel(QStringLiteral("Korisnik"), page), "Label10");
    Label10->setFont(uiFont(12, true));
    Label10->setStyleSheet(QStringLiteral("color: grey"));
    Label10->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label10->setGeometry(328, 164, 342, 22);

    // Currency.
    GroupBox1 = named(new QGroupBox(QStringLiteral("Izaberi valutu"), page), "GroupBox1");
    GroupBox1->setGeometry(32, 24, 273, 72);
    auto *currencyText = new QLabel(QStringLiteral("Knjizi se u valuti:"), GroupBox1);
    currencyText->setGeometry(8, 18, 120, 16);
    ComboBox2 = named(new QComboBox(GroupBox1), "ComboBox2");
    ComboBox2->addItems({QStringLiteral("DINARI"), QStringLiteral("EUR")});
    ComboBox2->setCurrentIndex(0);
    ComboBox2->setGeometry(8, 36, 120, 26);
    Label18 = named(new QLabel(QStringLiteral("DINARI"), GroupBox1), "Label18");
    Label18->setFont(uiFont(18, true));
    Label18->setAlignment(Qt::AlignCenter);
    Label18->setGeometry(136, 20, 128, 44);
    RadioButton1 = named(new QRadioButton(QStringLiteral("DINARI"), GroupBox1), "RadioButton1");
    RadioButton2 = named(new QRadioButton(QStringLiteral("EUR"), GroupBox1), "RadioButton2");
    auto *currencyPair = new QButtonGroup(this);
    currencyPair->addButton(RadioButton1);
    currencyPair->addButton(RadioButton2);
    RadioButton1->setChecked(true);
    RadioButton1->hide();
    RadioButton2->hide();

    // Direction.
    GroupBox2 = named(new QGroupBox(QStringLiteral("Ulaz ili izlaz?"), page), "GroupBox2");
    GroupBox2->setGeometry(32, 104, 273, 80);
    auto *directionText = new QLabel(QStringLiteral("Vrsta knjizenja:"), GroupBox2);
    directionText->setGeometry(8, 18, 120, 16);
    ComboBox3 = named(new QComboBox(GroupBox2), "ComboBox3");
    ComboBox3->addItems({QStringLiteral("IZLAZ"), QStringLiteral("ULAZ")});
    ComboBox3->setCurrentIndex(0);
    ComboBox3->setGeometry(8, 38, 120, 26);
    Label21 = named(new QLabel(QStringLiteral("IZLAZ"), GroupBox2), "Label21");
    Label21->setFont(uiFont(18, true));
    Label21->setAlignment(Qt::AlignCenter);
    Label21->setGeometry(136, 22, 128, 44);
    RadioButton3 = named(new QRadioButton(QStringLiteral("ULAZ"), GroupBox2), "RadioButton3");
    RadioButton4 = named(new QRadioButton(QStringLiteral("IZLAZ"), GroupBox2), "RadioButton4");
    auto *directionPair = new QButtonGroup(this);
    directionPair->addButton(RadioButton3);
    directionPair->addButton(RadioButton4);
    RadioButton4->setChecked(true);
    RadioButton3->hide();
    RadioButton4->hide();

    // Amount.
    GroupBox3 = named(new QGroupBox(QStringLiteral("IZNOS"), page), "GroupBox3");
    GroupBox3->setGeometry(32, 192, 273, 96);
    Edit4 = named(new QLineEdit(QStringLiteral("0.00"), GroupBox3), "Edit4");
    Edit4->setFont(uiFont(22, true));
    Edit4->setGeometry(8, 28, 257, 52);
    Edit4->installEventFilter(&ctx.window.widget());

    // Reason and group.
    GroupBox4 = named(new QGroupBox(QStringLiteral("RAZLOG ULAZA ILI IZLAZA IZ DORVANTE?"), page),
                      "GroupBox4");
    GroupBox4->setGeometry(32, 304, 641, 169);
    ComboBox1 = named(new QComboBox(GroupBox4), "ComboBox1");
    ComboBox1->setEditable(true);
    ComboBox1->setEditText(ActivityPrompt);
    ComboBox1->setGeometry(8, 22, 625, 26);
    new PromptReplacer(ComboBox1, ActivityPrompt);
    auto *hint = new QLabel(
        QStringLiteral("Ili izaberite zasto ili unesite ovde zasto je promena u dorvanti nastala"),
        GroupBox4);
    hint->setObjectName(QStringLiteral("Label24"));
    hint->setGeometry(8, 52, 625, 18);
    Edit5 = named(new QLineEdit(GroupBox4), "Edit5");
    Edit5->setGeometry(8, 72, 625, 26);
    Edit5->installEventFilter(&ctx.window.widget());
    ComboBox4 = named(new QComboBox(GroupBox4), "ComboBox4");
    ComboBox4->setEditable(true);
    ComboBox4->setEditText(GroupPrompt);
    ComboBox4->setGeometry(8, 104, 625, 26);
    new PromptReplacer(ComboBox4, GroupPrompt);
    Edit12 = named(new QLineEdit(GroupBox4), "Edit12");
    Edit12->setGeometry(8, 136, 625, 26);
    Edit12->installEventFilter(&ctx.window.widget());

    BitBtn8 = named(new QPushButton(QStringLiteral("PROKNJIZI"), page), "BitBtn8");
    BitBtn8->setFont(uiFont(24, true));
    BitBtn8->setGeometry(328, 188, 343, 82);
    BitBtn18 = named(new QPushButton(QStringLiteral("STA STE SVE KNJIZILI?"), page), "BitBtn18");
    BitBtn18->setGeometry(517, 272, 154, 26);

    LabelDocument = named(new QLabel(page), "LabelDocument");
    LabelDocument->setFont(uiFont(9, true));
    LabelDocument->setGeometry(328, 272, 185, 26);
    BitBtnSlip = named(new QPushButton(QStringLiteral("STAMPAJ DOKUMENT"), page), "BitBtnSlip");
    BitBtnSlip->setGeometry(328, 299, 124, 22); // above the reason's group box
    // The cashier counts his till at the end of his shift.
    BitBtnCount = named(new QPushButton(QStringLiteral("POPIS KASE"), page), "BitBtnCount");
    BitBtnCount->setGeometry(455, 299, 100, 22);
    BitBtnDeposit = named(new QPushButton(QStringLiteral("POLOG NA RACUN"), page), "BitBtnDeposit");
    BitBtnDeposit->setGeometry(558, 299, 113, 22);
    connect(BitBtnDeposit, &QPushButton::clicked, this, &PostingPage::BitBtnDepositClick);

    // The status line: that today is closed, the upload's progress and outcome, in words.
    Label26 = named(new QLabel(page), "Label26");
    Label26->setFont(uiFont(9, false));
    Label26->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label26->setGeometry(16, 475, 656, 20);

    // Combo boxes: a choice from the list or typing, never a change made by the program.
    // Currency and direction are choices only (a key chooses the item it begins).
    connect(ComboBox2, &QComboBox::activated, this, &PostingPage::ComboBox2Change);
    connect(ComboBox3, &QComboBox::activated, this, &PostingPage::ComboBox3Change);
    connect(ComboBox1, &QComboBox::activated, this, &PostingPage::ComboBox1Change);
    connect(ComboBox1->lineEdit(), &QLineEdit::textEdited, this, &PostingPage::ComboBox1Change);
    connect(ComboBox4, &QComboBox::activated, this, &PostingPage::ComboBox4Change);
    connect(ComboBox4->lineEdit(), &QLineEdit::textEdited, this, &PostingPage::ComboBox4Change);
    // PROKNJIZI and STA STE SVE KNJIZILI? go through the window, which holds the upload's news
    // and the review window; POPIS KASE opens the window's cashier count page.
    PageHost *window = &ctx.window;
    QWidget *windowWidget = &window->widget();
    connect(BitBtn8, &QPushButton::clicked, windowWidget, [window] { window->BitBtn8Click(); });
    connect(BitBtn18, &QPushButton::clicked, windowWidget, [window] { window->BitBtn18Click(); });
    connect(BitBtnSlip, &QPushButton::clicked, this, &PostingPage::BitBtnSlipClick);
    connect(BitBtnCount, &QPushButton::clicked, windowWidget,
            [window] { window->BitBtnCountClick(); });
}

void PostingPage::ComboBox2Change()
{
    const int index = ComboBox2->currentIndex();
    Label18->setText(index >= 0 ? ComboBox2->itemText(index) : QString());
    if (Label18->text() == QLatin1String("DINARI"))
        RadioButton1->setChecked(true);
    if (Label18->text() == QLatin1String("EUR"))
        RadioButton2->setChecked(true);
    Edit4->setFocus();
    Edit4Enter(); // focusing the amount box empties it, also when it had the focus already
}

void PostingPage::ComboBox3Change()
{
    const int index = ComboBox3->currentIndex();
    Label21->setText(index >= 0 ? ComboBox3->itemText(index) : QString());
    if (Label21->text() == QLatin1String("ULAZ"))
        RadioButton3->setChecked(true);
    if (Label21->text() == QLatin1String("IZLAZ"))
        RadioButton4->setChecked(true);
    Edit4->setFocus();
    Edit4Enter();
}

void PostingPage::Edit4Enter()
{
    Edit4->clear();
}

void PostingPage::Edit4KeyPress(QChar &key)
{
    if (key == u'\r')
        Edit5->setFocus();
}

void PostingPage::ComboBox1Change()
{
    Edit5->setText(withoutPrompt(ComboBox1->currentText(), ActivityPrompt));
    Edit5->setFocus();
}

void PostingPage::Edit5KeyPress(QChar &key)
{
    if (key != u'\r')
        return;
    if (Edit5->text().isEmpty() && ComboBox1->currentText() != ActivityPrompt)
        Edit5->setText(ComboBox1->currentText());
    // The group box holds the group of the last posting (at login the list's first): Enter
    // goes on to "PROKNJIZI", or to the group box when that is empty.
    if (Edit12->text().trimmed().isEmpty())
        Edit12->setFocus();
    else
        BitBtn8->setFocus();
}

void PostingPage::Edit12KeyPress(QChar &key)
{
    if (key == u'\r')
        BitBtn8->setFocus();
}

void PostingPage::offerFirstGroup()
{
    if (!Edit12->text().isEmpty() || ComboBox4->count() == 0)
        return;
    ComboBox4->setCurrentIndex(0);
    Edit12->setText(ComboBox4->itemText(0));
}

void PostingPage::clearPostingBoxes()
{
    Edit4->setText(QStringLiteral("0.00"));
    Edit5->clear();
    Edit12->clear();
    ComboBox1->setCurrentIndex(-1);
    ComboBox1->setEditText(ActivityPrompt);
    ComboBox4->setCurrentIndex(-1);
    ComboBox4->setEditText(GroupPrompt);
    dayNotice.clear();
}

void PostingPage::showStatusLine(const QString &uploadStatus, bool uploadFailed)
{
    QStringList parts;
    if (!dayNotice.isEmpty())
        parts << dayNotice;
    if (!uploadStatus.isEmpty())
        parts << uploadStatus;
    Label26->setText(parts.join(QStringLiteral("   ")));
    Label26->setToolTip(Label26->text()); // whole, should the line be too long for its place
    Label26->setStyleSheet(!dayNotice.isEmpty() || uploadFailed ? QStringLiteral("color: red")
                                                                : QString());
}

QString PostingPage::closedDay(const QString &dayText)
{
    const QDate day = ctx.session.dateFormat().parseOrThrow(dayText);
    OpenTables tables(ctx.session, {ctx.journal});
    return desk::closedDayNotice(*ctx.journal, day, ctx.session.dateFormat());
}

void PostingPage::ComboBox4Change()
{
    Edit12->setText(withoutPrompt(ComboBox4->currentText(), GroupPrompt));
    Edit12->setFocus();
}

void PostingPage::BitBtn18Click(TForm2 *reviewWindow)
{
    if (!reviewWindow)
        return;
    reviewWindow->Label2->setText(Label10->text());
    reviewWindow->show();
    reviewWindow->raise();
    reviewWindow->activateWindow();
}

void PostingPage::BitBtn8Click()
{
    // A control character (a pasted line break) would split the record's export line.
    desk::PostingDraft draft;
    draft.amountText = Edit4->text();
    draft.reason = platform::withoutControlCharacters(Edit5->text());
    draft.group = platform::withoutControlCharacters(Edit12->text());
    draft.cashier = Label10->text();
    draft.currency = RadioButton2->isChecked() ? desk::Currency::Euros : desk::Currency::Dinars;
    draft.direction = RadioButton3->isChecked() ? desk::Direction::In : desk::Direction::Out;
    const QString reason = draft.reason;
    const QString group = draft.group;
    // The fields first: they need no journal.
    if (const desk::PostingAnswer input = desk::checkInput(draft); input.refused()) {
        ctx.dialogs.message(input.text);
        return;
    }
    engine::Money amount;
    QString question;
    try {
        capAllowance.clear();
        draft.day = ctx.session.dateFormat().parseOrThrow(Label8->text());
        desk::PostingAnswer answer = judgePosting(draft);
        // A receipt over the cash cap: the administrator may allow it, and the desk is asked
        // again with his reason.
        if (answer.refusal == desk::Refusal::CashCap) {
            const std::optional<QString> allowance = askCapAllowance(answer.text);
            if (!allowance)
                return;
            draft.allowance = *allowance;
            answer = judgePosting(draft);
        }
        if (answer.refused()) {
            ctx.dialogs.message(answer.text);
            return;
        }
        if (answer.allowedOverCap)
            capAllowance = draft.allowance.trimmed();
        amount = *answer.amount;
        question = answer.question;
    } catch (const engine::EngineError &e) {
        capAllowance.clear();
        ctx.dialogs.message(e.message());
        return;
    }

    bool stored = false;
    const bool confirmed = ctx.dialogs.confirm(question);
    if (confirmed) {
        const bool posted = postConfirmed(amount, reason, group);
        capAllowance.clear();
        if (!posted)
            return;
        stored = true;
    }
    capAllowance.clear();

    if (!exportJournal(stored ? QStringLiteral("Promena je proknjizena, ali izvoz nije zapisan: ")
                              : QString()))
        return;
    ctx.window.uploadDecision();
    // The voucher right after the posting, when the settings ask for it.
    if (stored && !shownDocument.isEmpty()) {
        bool wanted = false;
        try {
            OpenTables tables(ctx.session, {ctx.journal});
            wanted = desk::settings::read(*ctx.journal).voucherAfterPosting;
        } catch (const engine::EngineError &e) {
            ctx.dialogs.message(e.message());
        }
        if (wanted)
            printVoucher(shownDocument);
    }
}

bool PostingPage::postConfirmed(engine::Money amount, const QString &reason, const QString &group)
{
    // The posting's identity, made before anything is sent. A repeat of a posting whose
    // outcome was unknown carries the same one, so the server stores it at most once.
    const QStringList inputs{Label10->text(), Label8->text(),
                             RadioButton2->isChecked() ? QStringLiteral("EUR") : QStringLiteral("DIN"),
                             RadioButton3->isChecked() ? QStringLiteral("ULAZ") : QStringLiteral("IZLAZ"),
                             amount.toText(), reason, group};
    if (pendingPosting.key.isNull() || pendingPosting.inputs != inputs)
        pendingPosting = {QUuid::createUuid(), inputs};
    bool fresh = true;
    try {
        fresh = storePosting(pendingPosting.key, amount, reason, group);
    } catch (const engine::EngineError &e) {
        if (e.kind() == engine::EngineError::Kind::OutcomeUnknown) {
            // The boxes keep the posting: pressing again sends the same identity, which the
            // server stores only when the first attempt did not.
            ctx.dialogs.message(QStringLiteral("Nije poznato da li je promena proknjizena: veza sa "
                                           "serverom je prekinuta pri upisu. Proverite promet "
                                           "(STA STE SVE KNJIZILI?) pre nego sto ponovo "
                                           "knjizite.\n") +
                            e.message());
            return false;
        }
        pendingPosting = {};
        ctx.dialogs.message(e.kind() == engine::EngineError::Kind::Unavailable
                            ? e.message() + QStringLiteral("\nPromena nije proknjizena.")
                            : e.message()); // nothing was stored
        return false;
    }
    pendingPosting = {};
    if (!fresh)
        ctx.dialogs.message(QStringLiteral("Promena je vec proknjizena (prethodni pokusaj je uspeo)."));
    shownDocument = lastDocument;
    LabelDocument->setText(QStringLiteral("Dokument: ") + shownDocument);
    // The group stays for the next posting, which is mostly of the same group; the question
    // names it before it is stored.
    Edit4->clear();
    Edit5->clear();
    Edit4->setFocus();
    try {
        refreshBalances();
    } catch (const engine::EngineError &e) {
        // The posting is in the journal: say so, so that nobody posts it twice.
        showNoBalances();
        ctx.dialogs.message(QStringLiteral("Promena je proknjizena, ali stanje kase nije "
                                       "izracunato: ") +
                        e.message());
    }
    return true;
}

desk::PostingAnswer PostingPage::judgePosting(const desk::PostingDraft &draft)
{
    OpenTables tables(ctx.session, {ctx.journal});
    return desk::judge(*ctx.journal, draft, ctx.session.dateFormat());
}

void PostingPage::resetPostingChoices()
{
    ComboBox2->setCurrentIndex(0);
    ComboBox2Change();
    ComboBox3->setCurrentIndex(0);
    ComboBox3Change();
}

bool PostingPage::storePosting(const QUuid &key, engine::Money amount, const QString &reason,
                          const QString &group)
{
    desk::Posting posting;
    posting.cashier = Label10->text();
    posting.day = ctx.session.dateFormat().parseOrThrow(Label8->text());
    posting.time = engine::timeText(ctx.clock.now());
    posting.currency = RadioButton2->isChecked() ? desk::Currency::Euros : desk::Currency::Dinars;
    posting.direction = RadioButton3->isChecked() ? desk::Direction::In : desk::Direction::Out;
    posting.amount = amount;
    posting.reason = reason;
    posting.group = group;
    posting.key = key;
    OpenTables tables(ctx.session, {ctx.journal});
    const desk::Posted stored =
        capAllowance.isEmpty()
            ? desk::post(*ctx.journal, posting, ctx.session.dateFormat())
            : desk::cashcap::postAllowed(*ctx.journal, posting, capAllowance, ctx.session.dateFormat());
    if (!stored.stored)
        return false;
    lastDocument = stored.number;
    lastPostedId = stored.id;
    lastPostedDinars = stored.dinars;
    lastPostedEuros = stored.euros;
    return true;
}

void PostingPage::showNoBalances()
{
    Edit2->clear();
    Edit3->clear();
}

void PostingPage::refreshBalances()
{
    OpenTables tables(ctx.session, {ctx.journal});
    const journal_balances::Balances now =
        lastPostedId >= 0
            ? journal_balances::after(*ctx.journal, lastPostedId, {lastPostedDinars, lastPostedEuros})
            : journal_balances::current(*ctx.journal);
    lastPostedId = -1; // a later refresh (the next login) reads the journal again
    Edit2->setText(now.dinars.toText());
    Edit3->setText(now.euros.toText());
}

void PostingPage::forgetShownDocument()
{
    // "STAMPAJ DOKUMENT" prints the document of a posting of this login only.
    lastDocument.clear();
    shownDocument.clear();
    LabelDocument->clear();
}
