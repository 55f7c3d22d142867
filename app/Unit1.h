#pragma once

// TForm1, the main window of the cash desk: a notebook of eleven pages without tabs, the main
// menu, the login, the navigation between pages and the session (the logged-in user, the start
// directory, the audit log). It makes the engine's four tables and the query once and hands
// them with the system seams to every page in one PageContext; each page is a class of its own
// that creates its controls on the page widget TForm1 gives it, so that every control is a
// child of the window, found by its objectName. Where a handler's name is called on the window
// (tests, main.cpp, the other pages), TForm1 keeps a one-line forwarder to the page.
//   Unit1.cpp          creation, date-format check, login, navigation, the audit log
//   Unit1Shell.cpp     the menu, the page shells, the login and administrator menu pages,
//                      the window fitted to the screen
//   Unit1Posting.cpp   the posting page, the posting and the balance refresh
//   Unit1Export.cpp    the journal export "podaci.txt"
//   Unit1Master.cpp    makes the users, activities and groups pages (MasterDataPage) and the
//                      journal view (JournalViewPage); their handlers' forwarders
//   Unit1Report.cpp    makes the report page (ReportPage); its forwarders
//   Unit1Upload.cpp    the upload decision after every export and the upload of the
//                      journal export to the FTP server
//   BackupPage         page 7: backup, restore, clearing, off-site copies; on it the
//                      FtpOptionBox (the FTP option and PROVERI VEZU, an FtpCheck) and the
//                      DeskSettingsBox (POSTAVKE BLAGAJNE, FIRMA I PAPIR, VAN LOKACIJE,
//                      UVEZI KURSNU LISTU)
//   DayReportPage      page 9: the daily cash report, the day close, the month and year
//                      reports, the administrator's cash count
//   CashCountPage      page 10: the cashier's cash count (POPIS KASE)
//   CountSheet         the count table both counts share
//
// Every handler runs to its end inside the event loop. Errors of the table engine end the
// handler with the engine's own message. The engine session is shared with the review
// window; nearly every handler hands the password, opens what it needs and closes the
// session when done, through one OpenTables scope (OpenTables.h), so that an engine error
// leaving the handler closes what it opened.

#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <memory>
#include <optional>

struct FtpSettings;

#include "JournalViewPage.h"
#include "MasterDataPage.h"
#include "PageContext.h"
#include "ReportPage.h"
#include "ReportPreview.h"
#include "ReportStatement.h"
#include "engine/Money.h"
#include "desk/PostingDraft.h"

class QAction;
class QButtonGroup;
class QCloseEvent;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QWidget;

namespace engine {
class Session;
class Table;
class Query;
} // namespace engine

namespace platform {
class Dialogs;
class Clock;
class SystemSettings;
} // namespace platform

namespace ftp {
class TMFtp;
enum FtpInfo : int;
enum FtpError : int;
} // namespace ftp

class BackupPage;
class CashCountPage;
class DayReportPage;
class LoginBackground;
class TForm2;


// The notebook's pages by index.
enum Page {
    PageLogin = 0,
    PageUsers = 1,
    PageActivities = 2,
    PageMenu = 3,
    PageReport = 4,
    PagePosting = 5,
    PageJournal = 6,
    PageBackup = 7,
    PageGroups = 8,
    PageDayReport = 9,
    PageCashierCount = 10,
};

class TForm1 : public QMainWindow
{
    Q_OBJECT
public:
    TForm1(engine::Session &session, platform::Dialogs &dialogs, const platform::Clock &clock,
           const platform::SystemSettings &settings, QWidget *parent = nullptr);
    ~TForm1() override;

    // State shared with the other pages.
    QString startDirectory() const { return startDir; }
    QString currentUserName() const { return currentUser; }
    // Writes `act` with `details` to the audit log beside the journal, in the name of the user.
    void logAct(const QString &act, const QString &details);
    // The check of the journal the administrator's login started (tests wait for it).
    class ChainCheck *journalCheck() const { return chainCheck; }
    bool dateFormatAccepted() const { return dateFormatOk; }
    int pageIndex() const;
    void showPage(int index);
    // Today as the system's short date text.
    QString todayText() const;
    // Closes the engine session and with it every table and query it opened.
    void closeSession();
    // Shows a report as the window shows its reports (setReportPreview).
    void previewReport(report::Document &document) { reportPreview(document); }

    // The first showing runs FormShow; after a failed date-format check the window is
    // not shown at all and the program ends.
    void setVisible(bool visible) override;

    // --- creation and navigation ---
    void FormCreate();
    void FormShow();
    void BitBtn9Click();  // PRIJAVI SE ZA RAD
    void BitBtn3Click();  // PODESAVANJE KORISNIKA
    void BitBtn4Click();  // PODESAVANJE CESTIH AKTIVNOSTI
    void BitBtn24Click(); // PODESAVANJE GRUPE PROMETA
    void BitBtn5Click();  // IZVESTAJI
    void BitBtn13Click(); // PREGLED TABELE PROMETA
    void BitBtn19Click(); // BACK-UP i PODESAVANJA (BackupPage)
    void BitBtn10Click(); // MENI ADMINISTRATORA (all six)
    void BitBtnDayReportClick(); // DNEVNI IZVESTAJ (DayReportPage)
    void BitBtnCountClick();     // POPIS KASE, on the posting page (CashCountPage)
    // After a restore of an off-site copy (BackupPage): at the login.
    void showRestoreNotice(bool administrator);
    void Edit1KeyPress(QChar &key);
    void Glavnimeni1Click();
    void Izlazizprograma1Click();
    void Pomoc1Click(); // Pomoc: the users' guide

    // --- posting page ---
    void ComboBox2Change();
    void ComboBox3Change();
    void Edit4Enter();
    void Edit4KeyPress(QChar &key);
    void ComboBox1Change();
    void Edit5KeyPress(QChar &key);
    void ComboBox4Change();
    void Edit12KeyPress(QChar &key);
    void BitBtn8Click(); // PROKNJIZI
    void BitBtn18Click(); // STA STE SVE KNJIZILI?

    // Balance refresh: the journal's balances (JournalBalances.h) into Edit2 and Edit3. After
    // a posting, its stored running balances plus the records stored after it.
    void refreshBalances();
    // The desk's answer to the posting `draft` (PostingDraft.h), in the journal. Throws
    // EngineError when the journal cannot be read.
    desk::PostingAnswer judgePosting(const desk::PostingDraft &draft);
    // "Dan <dayText> je zakljucen" when the day (date text) or a later one is closed, else
    // empty. Throws EngineError when the journal cannot be read.
    QString closedDay(const QString &dayText);
    // The posting page's boxes as before any posting, and no word of a closed day: at log-out,
    // so that nothing of one cashier's posting stays for the next.
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
    // false when the posting with that key is stored already. Throws EngineError
    // (and stores nothing) when the journal fails; of kind OutcomeUnknown when the server's
    // answer to the commit was lost and could not be asked afterwards.
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
    // After every export: the upload of the export when the FTP option is on.
    void uploadDecision();

    // The review window that the posting page's "STA STE SVE KNJIZILI?" shows; main()
    // creates it after the main window.
    // Its "STORNIRAJ" reverses through reverseDocument().
    void setReviewWindow(TForm2 *window);
    // How the report page shows its report (the preview window unless replaced).
    void setReportPreview(ReportPreview preview) { reportPreview = std::move(preview); }

    // Controls, named as the program names them (also their objectName): the menu, the
    // notebook and the login page. The administrator menu's buttons and the pages' "MENI
    // ADMINISTRATORA" are found by their names.
    QAction *Glavnimeni1 = nullptr;
    QAction *Izlazizprograma1 = nullptr;
    QAction *Pomoc1 = nullptr;
    QStackedWidget *Notebook1 = nullptr;
    LoginBackground *Image1 = nullptr;
    QLineEdit *Edit1 = nullptr;
    QPushButton *BitBtn9 = nullptr;
    // The backup page's controls that callers drive on the window (BackupPage holds them).
    QPushButton *BitBtn30 = nullptr;       // PROVERI VEZU
    QRadioButton *RadioButton15 = nullptr; // Ukljucen FTP pristup
    QLineEdit *Edit16 = nullptr;           // Password:
    class QCheckBox *CheckBox1 = nullptr;  // Sifrovana veza (FTPS)

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    // During an upload, asks before closing.
    void closeEvent(QCloseEvent *event) override;

private:
    void buildMenu();
    QWidget *buildPageShell(int index, const QString &heading, const QString &menuButtonName);
    void buildLoginPage();
    void buildAdminMenuPage();
    void buildPostingPage();
    void buildMasterDataPages(); // Unit1Master.cpp
    void buildReportPage();      // Unit1Report.cpp
    void buildUpload();          // Unit1Upload.cpp
    // The window's fixed size: its pages' on a screen with room for them; else the screen's
    // available area, the pages scrolling inside it.
    void fitToScreen();
    void fillComboFromTable(QComboBox *combo, engine::Table &table, const QString &field);
    // The FTP option file's lines; nullopt (after showing the file error) when unreadable.
    std::optional<QStringList> loadFtpOptionLines();
    // The error of reading a line the option file lacks.
    void showMissingLine(qsizetype index);
    // Forgets the last posting's document: the posting page shows none and prints none.
    void forgetShownDocument();

    // The posting last sent whose outcome is not known yet: its identity and the inputs it
    // was made for.
    struct PendingPosting
    {
        QUuid key;
        QStringList inputs;
    } pendingPosting;

    engine::Session &session;
    platform::Dialogs &dialogs;
    const platform::Clock &clock;
    const platform::SystemSettings &settings;

    QString startDir;
    QString currentUser;
    bool dateFormatOk = false;
    bool firstShowDone = false;
    TForm2 *reviewWindow = nullptr;
    class ChainCheck *chainCheck = nullptr; // the journal's check at the administrator's login
    class HelpWindow *helpWindow = nullptr; // Pomoc, made when first asked for
    ReportPreview reportPreview;

    // The posting page's status line (Label26): that today is closed, then the upload's part
    // (exportUpload->status()).
    QString dayNotice;
    void showStatusLine();

    // Data components.
    engine::Table *Table1; // podaci\korisnici.db
    engine::Table *Table2; // podaci\aktivnost.db
    engine::Table *Table3; // podaci/promet.db
    engine::Table *Table4; // podaci\grupe.db
    engine::Query *Query1;

    // What every page is handed, and the pages of their own classes.
    PageContext context;
    std::unique_ptr<BackupPage> backupPage;
    std::unique_ptr<DayReportPage> dayReportPage;
    std::unique_ptr<CashCountPage> cashCountPage;

public:
    // Page 5: posting.
    QLabel *Label8 = nullptr;
    QLabel *Label10 = nullptr;
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
    QLabel *LabelDocument = nullptr;       // the last posting's document number
    QPushButton *BitBtnSlip = nullptr;     // prints the last posting's document
    QString lastDocument;
    // The record the last posting stored and its running balances (id -1: none yet).
    qint64 lastPostedId = -1;
    engine::Money lastPostedDinars, lastPostedEuros;
    QString shownDocument; // the number LabelDocument shows: of a posting that is stored

    // --- master data pages and the journal view (MasterDataPage, JournalViewPage) ---
    // Their handlers as the program names them; the pages do the work.
    void BitBtn2Click();  // OTVORI TABELU, users
    void BitBtn1Click();  // ZATVORI TABELU, users
    void BitBtn6Click();  // OTVORI TABELU, activities
    void BitBtn7Click();  // ZATVORI TABELU, activities
    void BitBtn25Click(); // OTVORI TABELU, groups
    void BitBtn26Click(); // ZATVORI TABELU, groups
    void BitBtn14Click(); // OTVORI TABELU, journal
    void BitBtn15Click(); // ZATVORI TABELU, journal

public:

    // --- the posting page's POPIS KASE and STAMPAJ DOKUMENT (Unit1Posting.cpp) ---
    QPushButton *BitBtnCount = nullptr; // POPIS KASE
    void BitBtnSlipClick(); // STAMPAJ DOKUMENT: the last posting's voucher (nalog blagajni)

    // --- deposits to the bank and the cash cap (Unit1Deposits.cpp) ---
    QLabel *LabelDeposits = nullptr;      // the administrator's menu: receipts not deposited
    void showDepositWarnings();
    QPushButton *BitBtnDeposit = nullptr; // POLOG NA RACUN: a deposit's reason with its slip
    void BitBtnDepositClick();
    // A receipt over the cash cap, refused with `refusal`: the administrator's reason when he
    // allows it with his code, else nullopt (after saying why, or when asked to give up).
    std::optional<QString> askCapAllowance(const QString &refusal);
    // The administrator's reason for the receipt over the cash cap being posted; empty otherwise.
    QString capAllowance;
    // Previews the voucher of the document `number`, read in the journal (open or not).
    void printVoucher(const QString &number);

    // --- report page (ReportPage) ---
    using ReportCriteria = ::ReportCriteria;
    using ReportStatement = ::ReportStatement;
    static ReportStatement buildReportStatement(const ReportCriteria &criteria)
    {
        return ::buildReportStatement(criteria);
    }
    ReportCriteria reportCriteria() const;
    // The statement of Query1 as the last report press left it.
    QString reportStatement() const;
    void BitBtnCsvClick();
    void BitBtn17Click(); // PRIKAZI PROMET KASE
    // The journal view's "STORNIRAJ" and "STAMPAJ NALOG" for the current record.
    void BitBtnStornoClick();
    void BitBtnVoucherClick();
    // Reverses the document `number` after "Da li ste sigurni?" (JournalViewPage); the
    // journal view's and the review window's "STORNIRAJ" both come here. True when stored.
    bool reverseDocument(const QString &number);
    // Shows a report as the window shows its reports (the preview window unless replaced).
    void showReport(report::Document &document) { reportPreview(document); }

    // --- upload of the journal export (Unit1Upload.cpp) ---
    void MFtp1FtpInfo(ftp::TMFtp *sender, ftp::FtpInfo info, const QString &addinfo);
    void MFtp1FtpError(ftp::TMFtp *sender, ftp::FtpError error, const QString &addinfo);
    void MFtp1LoggedIn(ftp::TMFtp *sender);
    void MFtp1FileStored(ftp::TMFtp *sender);
    void MFtp1FileRenamed(ftp::TMFtp *sender);
    void MFtp1FileDeleted(ftp::TMFtp *sender);
    // Whether an upload (its login, store, rename or the delete of its copy) is under way.
    bool uploadInProgress() const;

    ftp::TMFtp *MFtp1 = nullptr;
    class QListWidget *ListBox6 = nullptr; // the option file's lines, never visible
    // The upload of the export over MFtp1 (ExportUpload.h): its login, store, rename and the
    // status line's part; MFtp1's handlers above hand it the component's events.
    class ExportUpload *exportUpload = nullptr;

    // --- the master-data, journal and report pages' objects ---
public:
    PageContext &pageContext() { return context; }

private:
    std::unique_ptr<MasterDataPage> usersPage;      // page 1
    std::unique_ptr<MasterDataPage> activitiesPage; // page 2
    std::unique_ptr<MasterDataPage> groupsPage;     // page 8
    std::unique_ptr<JournalViewPage> journalPage;   // page 6
    std::unique_ptr<ReportPage> reportPage;         // page 4
};

