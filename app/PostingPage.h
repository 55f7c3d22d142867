#pragma once

// PostingPage: the cashier's posting page (page 5): currency, direction, amount, reason and
// group, "PROKNJIZI" with the desk's answer to the draft (desk/PostingDraft.h), the balance
// refresh, the last posting's document and its voucher, the deposit to the bank and the
// administrator's allowance of a receipt over the cash cap, and the journal export written
// after every posting. Its controls are children of the page widget TForm1 made, so the window
// finds each by its objectName; the Enter keys of the amount, reason and group boxes go through
// the window's event filter, which forwards them here.

#include "desk/PostingDraft.h"
#include "engine/Money.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <optional>

struct PageContext;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;
class TForm2;

class PostingPage : public QObject
{
public:
    PostingPage(PageContext &context, QWidget *page);

    void ComboBox2Change();
    void ComboBox3Change();
    void Edit4Enter();
    void Edit4KeyPress(QChar &key);
    void ComboBox1Change();
    void Edit5KeyPress(QChar &key);
    void ComboBox4Change();
    void Edit12KeyPress(QChar &key);
    void BitBtn8Click();                    // PROKNJIZI
    void BitBtn18Click(TForm2 *reviewWindow); // STA STE SVE KNJIZILI?
    void BitBtnSlipClick();                 // STAMPAJ DOKUMENT
    void BitBtnDepositClick();              // POLOG NA RACUN

    // Balance refresh: the journal's balances (JournalBalances.h) into Edit2 and Edit3. After
    // a posting, its stored running balances plus the records stored after it.
    void refreshBalances();
    // The desk's answer to the posting `draft`, in the journal. Throws EngineError when the
    // journal cannot be read.
    desk::PostingAnswer judgePosting(const desk::PostingDraft &draft);
    // "Dan <dayText> je zakljucen" when the day (date text) or a later one is closed, else
    // empty. Throws EngineError when the journal cannot be read.
    QString closedDay(const QString &dayText);
    // The boxes as before any posting, and no word of a closed day: at log-out, so that
    // nothing of one cashier's posting stays for the next.
    void clearPostingBoxes();
    // An empty group box takes the first group of the list (login).
    void offerFirstGroup();
    // Currency and direction back to dinars and out, as every cashier starts.
    void resetPostingChoices();
    // After the question was answered Yes: stores the posting and refreshes the balances,
    // saying what became of it when it failed; true when it is stored.
    bool postConfirmed(engine::Money amount, const QString &reason, const QString &group);
    // Fills a desk::Posting of `amount` (above zero) from the page's cashier, day, currency and
    // direction with the identity `key` and stores it through desk::post() (desk/Posting.h);
    // false when the posting with that key is stored already. Throws EngineError (and stores
    // nothing) when the journal fails; of kind OutcomeUnknown when the server's answer to the
    // commit was lost and could not be asked afterwards.
    bool storePosting(const QUuid &key, engine::Money amount, const QString &reason,
                      const QString &group);
    // Empties both balance boxes: no balance is shown rather than a wrong one.
    void showNoBalances();
    // Gives the journal's records their document numbers (the cash book's tables are made on
    // the first start with an older data directory); false after showing why not.
    bool prepareCashBook();
    // Writes the whole journal to "podaci.txt"; false (after showing the reason, after
    // `messageStart` when given) when the journal could not be read or the file not written.
    bool exportJournal(const QString &messageStart = {});
    // A receipt over the cash cap, refused with `refusal`: the administrator's reason when he
    // allows it with his code, else nullopt (after saying why, or when asked to give up).
    std::optional<QString> askCapAllowance(const QString &refusal);
    // Previews the voucher of the document `number`, read in the journal (open or not).
    void printVoucher(const QString &number);
    // Forgets the last posting's document: the page shows none and prints none.
    void forgetShownDocument();
    // The status line (Label26): that today is closed, then the upload's part (`uploadStatus`,
    // red when `uploadFailed`).
    void showStatusLine(const QString &uploadStatus, bool uploadFailed);

    QLabel *Label8 = nullptr;  // the day posted into
    QLabel *Label10 = nullptr; // the cashier
    QLineEdit *Edit2 = nullptr;
    QLineEdit *Edit3 = nullptr;
    QGroupBox *GroupBox1 = nullptr; // Izaberi valutu
    QComboBox *ComboBox2 = nullptr;
    QLabel *Label18 = nullptr;
    QRadioButton *RadioButton1 = nullptr; // DINARI
    QRadioButton *RadioButton2 = nullptr; // EUR
    QGroupBox *GroupBox2 = nullptr;       // Ulaz ili izlaz?
    QComboBox *ComboBox3 = nullptr;
    QLabel *Label21 = nullptr;
    QRadioButton *RadioButton3 = nullptr; // ULAZ
    QRadioButton *RadioButton4 = nullptr; // IZLAZ
    QGroupBox *GroupBox3 = nullptr;       // IZNOS
    QLineEdit *Edit4 = nullptr;
    QGroupBox *GroupBox4 = nullptr; // RAZLOG ULAZA ILI IZLAZA IZ DORVANTE?
    QComboBox *ComboBox1 = nullptr;
    QLineEdit *Edit5 = nullptr;
    QComboBox *ComboBox4 = nullptr;
    QLineEdit *Edit12 = nullptr;
    QPushButton *BitBtn8 = nullptr;
    QPushButton *BitBtn18 = nullptr;
    QLabel *Label26 = nullptr;
    QLabel *LabelDocument = nullptr;   // the last posting's document number
    QPushButton *BitBtnSlip = nullptr; // prints the last posting's document
    QPushButton *BitBtnCount = nullptr;   // POPIS KASE (the window's cashier count page)
    QPushButton *BitBtnDeposit = nullptr; // POLOG NA RACUN

    QString lastDocument;
    // The record the last posting stored and its running balances (id -1: none yet).
    qint64 lastPostedId = -1;
    engine::Money lastPostedDinars, lastPostedEuros;
    QString shownDocument; // the number LabelDocument shows: of a posting that is stored
    // That today is closed, for the status line (empty when it is not).
    QString dayNotice;
    // The administrator's reason for the receipt over the cash cap being posted; empty otherwise.
    QString capAllowance;

private:
    void buildControls(QWidget *page);

    // The posting last sent whose outcome is not known yet: its identity and the inputs it
    // was made for.
    struct PendingPosting
    {
        QUuid key;
        QStringList inputs;
    } pendingPosting;

    PageContext &ctx;
};
