#pragma once

// TForm1, the main window of the cash desk: a notebook of nine pages without tabs (login,
// the administrator's pages, the posting page), the main menu, and every handler of its
// controls. The class is one; its member functions are defined in files grouped by page:
//   Unit1.cpp          creation, date-format check, login, navigation
//   Unit1Posting.cpp   the posting page, the posting and the balance refresh
//   Unit1Export.cpp    the journal export "podaci.txt"
//   Unit1Master.cpp    the users, activities and groups grids and the journal view
//   Unit1Report.cpp    the turnover report page
//   Unit1Backup.cpp    backup, restore, clearing and the FTP option
//   Unit1Upload.cpp    the upload decision after every export and the upload of the
//                      journal export to the FTP server
//   Unit1FtpCheck.cpp  PROVERI VEZU: a trial login with the stored FTP option
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

#include <optional>

struct FtpSettings;

#include "ReportPreview.h"
#include "engine/Money.h"

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
    void BitBtn19Click(); // BACK-UP i PODESAVANJA
    void BitBtn10Click(); // MENI ADMINISTRATORA (all six)
    void BitBtnDayReportClick(); // DNEVNI IZVESTAJ
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

    // The largest amount a posting takes, in either direction.
    static constexpr engine::Money MaxAmount = engine::Money::fromHundredths(99999999999);

    // Balance refresh: the journal's balances (JournalBalances.h) into Edit2 and Edit3. After
    // a posting, its stored running balances plus the records stored after it.
    void refreshBalances();
    // The amount of the posting page when the input may be posted; otherwise nullopt, after
    // showing which field is empty or why the amount is refused (not a number, not above
    // zero, beyond MaxAmount).
    std::optional<engine::Money> checkPostingInput(const QString &reason, const QString &group);
    // The question before a posting: a payment that takes its currency's balance in the
    // journal below zero says so. Throws EngineError when the journal cannot be read.
    QString postingQuestion(engine::Money amount);
    // The posting the question confirms, on its second line: direction, amount, currency,
    // reason and group.
    QString postingSummary(engine::Money amount, const QString &reason,
                           const QString &group) const;
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
    void buildBackupPage();      // Unit1Backup.cpp
    void buildDayReportPage();   // Unit1DayReport.cpp
    void buildCashierCountPage(); // Unit1DayReport.cpp
    // One count's controls: the day report page's or the cashier's page's.
    struct CountControls
    {
        QComboBox *currency;
        class QTableWidget *table;
        QLabel *total;
        QLabel *book;
        QPushButton *post;
    };
    CountControls adminCount() const;
    CountControls cashierCount() const;
    void showCount(const CountControls &count);
    void showCountSumsOf(const CountControls &count);
    // The question naming the difference, then the count stored; false when not stored.
    bool storeCount(const CountControls &count, const QDate &day, bool leaveDifference);
    void buildUpload();          // Unit1Upload.cpp
    // The window's fixed size: its pages' on a screen with room for them; else the screen's
    // available area, the pages scrolling inside it.
    void fitToScreen();
    void showPage(int index);
    void closeSession();
    // How many records of the journal the backup `name` of the data directory does not hold,
    // so many postings a restore of it loses; nullopt when either table cannot be read.
    void fillComboFromTable(QComboBox *combo, engine::Table &table, const QString &field);
    // The FTP option file's lines; nullopt (after showing the file error) when unreadable.
    std::optional<QStringList> loadFtpOptionLines();
    // The error of reading a line the option file lacks.
    void showMissingLine(qsizetype index);
    QString todayText() const;
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

public:
    // Controls, named as the program names them (also their objectName).
    QAction *Glavnimeni1 = nullptr;
    QAction *Izlazizprograma1 = nullptr;
    QAction *Pomoc1 = nullptr;
    class HelpWindow *helpWindow = nullptr;
    QStackedWidget *Notebook1 = nullptr;

    // Page 0: login.
    LoginBackground *Image1 = nullptr;
    QLabel *Label1 = nullptr;
    QLineEdit *Edit1 = nullptr;
    QPushButton *BitBtn9 = nullptr;

    // Page 3: administrator menu.
    QPushButton *BitBtn3 = nullptr;
    QPushButton *BitBtn4 = nullptr;
    QPushButton *BitBtn24 = nullptr;
    QPushButton *BitBtn5 = nullptr;
    QPushButton *BitBtn13 = nullptr;
    QPushButton *BitBtn19 = nullptr;

    // "MENI ADMINISTRATORA" on pages 1, 2, 4, 6, 7, 8.
    QPushButton *BitBtn10 = nullptr;
    QPushButton *BitBtn11 = nullptr;
    QPushButton *BitBtn12 = nullptr;
    QPushButton *BitBtn16 = nullptr;
    QPushButton *BitBtn22 = nullptr;
    QPushButton *BitBtn27 = nullptr;

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

    // --- master data pages (Unit1Master.cpp) ---
    // Pages 1 (users), 2 (activities), 8 (groups) and 6 (the journal, read-only). Each grid
    // and navigator is bound to its table through its data link; the table is opened and
    // closed by the page's two buttons (and closed by anything that closes the session).
    // The grid, navigator and data link classes are declared in DBGrid.h, DBNavigator.h and
    // TableModel.h.
    void BitBtn2Click();  // OTVORI TABELU, users
    void BitBtn1Click();  // ZATVORI TABELU, users
    void BitBtn6Click();  // OTVORI TABELU, activities
    void BitBtn7Click();  // ZATVORI TABELU, activities
    void BitBtn25Click(); // OTVORI TABELU, groups
    void BitBtn26Click(); // ZATVORI TABELU, groups
    void BitBtn14Click(); // OTVORI TABELU, journal
    void BitBtn15Click(); // ZATVORI TABELU, journal

    class TableModel *DataSource1 = nullptr; // Table1, users
    class TableModel *DataSource2 = nullptr; // Table2, activities
    class TableModel *DataSource5 = nullptr; // Table4, groups
    class TableModel *DataSource3 = nullptr; // Table3, journal
    class DBGrid *DBGrid1 = nullptr;
    class DBGrid *DBGrid2 = nullptr;
    class DBGrid *DBGrid5 = nullptr;
    class DBGrid *DBGrid4 = nullptr; // read-only
    class DBNavigator *DBNavigator1 = nullptr;
    class DBNavigator *DBNavigator2 = nullptr;
    class DBNavigator *DBNavigator4 = nullptr;
    class DBNavigator *DBNavigator3 = nullptr; // never visible
    QPushButton *BitBtn2 = nullptr;
    QPushButton *BitBtn1 = nullptr;
    QPushButton *BitBtn6 = nullptr;
    QPushButton *BitBtn7 = nullptr;
    QPushButton *BitBtn25 = nullptr;
    QPushButton *BitBtn26 = nullptr;
    QPushButton *BitBtn14 = nullptr;
    QPushButton *BitBtn15 = nullptr;

private:
    // Opens the page's table after handing the password; closes it and the session.
    void openMasterTable(engine::Table *table);
    void closeMasterTable(engine::Table *table);

public:

    // --- daily cash report page (Unit1DayReport.cpp) ---
    QPushButton *BitBtnDayReport = nullptr; // DNEVNI IZVESTAJ, on the administrator menu
    class QDateEdit *DayPicker = nullptr;
    QComboBox *DayCurrency = nullptr; // DINARI I EUR, DINARI, EUR
    QLabel *DayState = nullptr;       // NIJE ZAKLJUCEN, or the close and its report number
    QPushButton *DayPreview = nullptr; // PRIKAZI DNEVNI IZVESTAJ
    QPushButton *DayClose = nullptr;   // ZAKLJUCI DAN
    void showDayState();
    void DayPreviewClick();
    // The month report of the chosen day's month, and the year's (MESECNI / GODISNJI IZVESTAJ).
    QPushButton *DayMonthReport = nullptr;
    QPushButton *DayYearReport = nullptr;
    void periodReport(bool year);
    // The cash count (POPIS GOTOVINE) of the chosen day: pieces per denomination of the chosen
    // currency, the counted sum, the book balance (shown only after the count when the count is
    // blind) and "PROKNJIZI POPIS", which stores it and posts its difference.
    QComboBox *CountCurrency = nullptr;           // DIN, EUR
    class QTableWidget *CountTable = nullptr;     // Apoen, Komada (a spin box), Iznos
    QLabel *CountTotal = nullptr;                 // "Prebrojano: 4300.00 DIN"
    QLabel *CountBook = nullptr;                  // "Knjizno stanje: 4400.00 DIN"
    QPushButton *CountPost = nullptr;             // PROKNJIZI POPIS
    void showCountTable();
    void showCountSums();
    void CountPostClick();
    // Each count of the chosen day with who counted it and what became of its difference, and
    // "PROKNJIZI RAZLIKU", which posts the chosen cashier's count's difference after the
    // administrator's code.
    class QListWidget *CountList = nullptr;
    QPushButton *CountPostDifference = nullptr;
    void showDayCounts();
    void CountPostDifferenceClick();

    // --- the cashier's own count (page 10, "POPIS KASE" on the posting page) ---
    // The same table of denominations; stored in the cashier's name, its difference left
    // for the administrator; blind when the settings say so.
    QPushButton *BitBtnCount = nullptr; // POPIS KASE
    QComboBox *CashierCountCurrency = nullptr;
    class QTableWidget *CashierCountTable = nullptr;
    QLabel *CashierCountTotal = nullptr;
    QLabel *CashierCountBook = nullptr;
    QPushButton *CashierCountPost = nullptr; // PROKNJIZI POPIS
    QPushButton *CashierCountBack = nullptr; // NAZAD NA KNJIZENJE
    void BitBtnCountClick();
    void CashierCountPostClick();

    // --- the desk settings every desk shares, on the backup page (Unit1Settings.cpp) ---
    class QGroupBox *GroupBoxSettings = nullptr; // POSTAVKE BLAGAJNE
    QLineEdit *EditLimitDin = nullptr;           // the cash limit in dinars (0: none)
    QLineEdit *EditLimitEur = nullptr;           // ... in euros
    class QCheckBox *CheckBlindCount = nullptr;  // Slepi popis
    class QCheckBox *CheckVoucherAfter = nullptr; // Nalog posle knjizenja
    QPushButton *SaveSettings = nullptr;         // SNIMI POSTAVKE
    void buildDeskSettingsBox(QWidget *page);
    void loadDeskSettings();
    void SaveSettingsClick();
    // FIRMA I PAPIR: asks for the firm's name, address, PIB and MB and the paper, and saves them.
    QPushButton *BitBtnFirm = nullptr;
    void BitBtnFirmClick();
    QPushButton *BitBtnOffsite = nullptr;        // VAN LOKACIJE: sets the off-site copies up
    void BitBtnOffsiteClick();
    void BitBtnSlipClick(); // STAMPAJ DOKUMENT: the last posting's voucher (nalog blagajni)

    // --- deposits to the bank and the cash cap (Unit1Deposits.cpp), rates (Unit1Settings.cpp) ---
    QLabel *LabelDeposits = nullptr;      // the administrator's menu: receipts not deposited
    void showDepositWarnings();
    QPushButton *BitBtnDeposit = nullptr; // POLOG NA RACUN: a deposit's reason with its slip
    void BitBtnDepositClick();
    QPushButton *BitBtnRates = nullptr;   // UVEZI KURSNU LISTU on the settings page
    void BitBtnRatesClick();
    // Before the question: a deposit that is none, or a receipt over the cash cap that the
    // administrator does not allow, is refused (false, after saying why); `note` gets what the
    // question must say of the rate the cap was measured against.
    bool passesCashRules(engine::Money amount, const QString &reason, const QString &group,
                         QString &note);
    // The administrator's reason for the receipt over the cash cap being posted; empty otherwise.
    QString capAllowance;
    // Previews the voucher of the document `number`, read in the journal (open or not).
    void printVoucher(const QString &number);
    void DayCloseClick();

    // --- report page (Unit1Report.cpp) ---
    // The criteria of the report page as its controls hold them: which chosen options are
    // selected and the texts of their edit boxes (dates as date text).
    struct ReportCriteria
    {
        bool period = false;
        QString from;
        QString to;
        bool cashier = false;
        QString cashierName;
        bool activity = false;
        QString activityText;
        bool group = false;
        QString groupName;
        bool keyword = false;
        QString keywordText;
    };
    // The statement over the journal and the report's title lines made from the criteria:
    // four, and a fifth naming the search word when there is one. `complete` is false when a
    // chosen criterion has no text; the statement and titles are then empty and `missing` is
    // the message that says what is missing.
    struct ReportStatement
    {
        bool complete = false;
        QString sql;
        QStringList titles;
        QString missing;
    };
    static ReportStatement buildReportStatement(const ReportCriteria &criteria);
    ReportCriteria reportCriteria() const;
    // The statement of Query1 as the last report press left it.
    QString reportStatement() const;
    // "CSV": the records of the report's criteria with their numbers to a CSV file (Unit1Csv.cpp).
    QPushButton *BitBtnCsv = nullptr;
    void BitBtnCsvClick();
    // "CSV SR": the same in the Serbian form (desk::CsvForm::Serbian).
    QPushButton *BitBtnCsvSr = nullptr;
    void writeReportCsv(bool serbian);
    // The journal view's "STORNIRAJ": reverses the current record's document (Unit1Master.cpp).
    QPushButton *BitBtnStorno = nullptr;
    // The document number of the journal view's chosen record; said and nullopt when there
    // is none.
    std::optional<QString> chosenDocument();
    void BitBtnStornoClick();
    // The journal view's "STAMPAJ NALOG": the current record's voucher.
    QPushButton *BitBtnVoucher = nullptr;
    void BitBtnVoucherClick();
    // Reverses the document `number` after "Da li ste sigurni?" in the name of the logged-in
    // user, then shows the balances, writes the export and uploads it as after a posting; the
    // journal view's and the review window's "STORNIRAJ" both come here. True when the
    // reversal is stored.
    bool reverseDocument(const QString &number);
    // Why the document `number` cannot be reversed (no such document, a reversal itself,
    // reversed already, today closed), read in the open journal; empty when it can, and then
    // `question` is the question that names it. Throws EngineError.
    QString reversalRefusal(const QString &number, QString &question);

    void RadioButton8Click(); // Sve
    void RadioButton7Click(); // Za period
    void DateTimePicker1Change();
    void DateTimePicker2Change();
    void RadioButton9Click();  // Za sve korisnike
    void RadioButton10Click(); // Za izabranog korisnika
    void ListBox1Click();
    void RadioButton11Click(); // Za sve vrste prometa
    void RadioButton12Click(); // Za izabrani cesti promet
    void ListBox2Click();
    void RadioButton13Click(); // Za sve grupe
    void RadioButton14Click(); // Za izabranu grupu
    void ListBox5Click();
    void RadioButton5Click(); // Bez pretrage
    void RadioButton6Click(); // Pretraga
    void BitBtn17Click();     // PRIKAZI PROMET KASE

    QGroupBox *GroupBoxPeriod = nullptr; // Za period
    QRadioButton *RadioButton8 = nullptr;
    QRadioButton *RadioButton7 = nullptr;
    QLabel *LabelFrom = nullptr; // Ovde izaberi od kada
    QLabel *LabelTo = nullptr;   // Ovde izaberi do kada
    class QDateEdit *DateTimePicker1 = nullptr;
    class QDateEdit *DateTimePicker2 = nullptr;
    QLabel *LabelChosenFrom = nullptr; // Izabrano OD (never shown)
    QLabel *LabelChosenTo = nullptr;   // Izabrano DO (never shown)
    QLineEdit *Edit6 = nullptr;        // from, date text (never shown)
    QLineEdit *Edit7 = nullptr;        // to, date text (never shown)
    QGroupBox *GroupBoxUser = nullptr; // Za izabranog korisnika
    QRadioButton *RadioButton9 = nullptr;
    QRadioButton *RadioButton10 = nullptr;
    class QListWidget *ListBox1 = nullptr;
    QLabel *LabelUser = nullptr; // Izabrani korisnik
    QLineEdit *Edit8 = nullptr;
    QGroupBox *GroupBoxActivity = nullptr; // Za izabranu cestu aktivnost
    QRadioButton *RadioButton11 = nullptr;
    QRadioButton *RadioButton12 = nullptr;
    class QListWidget *ListBox2 = nullptr;
    QLabel *LabelActivity = nullptr; // Izabrani promet
    QLineEdit *Edit9 = nullptr;
    QGroupBox *GroupBoxGroup = nullptr; // Za izabranu grupu
    QRadioButton *RadioButton13 = nullptr;
    QRadioButton *RadioButton14 = nullptr;
    class QListWidget *ListBox5 = nullptr;
    QLabel *LabelGroup = nullptr; // Izabranu grupu
    QLineEdit *Edit13 = nullptr;
    QGroupBox *GroupBoxKeyword = nullptr; // Pretraga prometa po kljucnoj reci
    QRadioButton *RadioButton5 = nullptr;
    QRadioButton *RadioButton6 = nullptr;
    QLabel *LabelKeyword = nullptr; // Unesite kljucnu rec za pretragu opisa prometa
    QLineEdit *Edit10 = nullptr;
    QPushButton *BitBtn17 = nullptr;

private:
    void reportEndStep();
    void fillListFromTable(class QListWidget *list, engine::Table *table, const QString &field,
                           bool skipAdmin);

public:

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

    // --- backup page (Unit1Backup.cpp) ---
    void BitBtn20Click();      // SNIMI AKTUELNI PROMET
    void BitBtn21Click();      // OBRISI SADRZAJ TABELE PROMETA
    void ListBox3Click();      // a line of the backup list
    void BitBtn23Click();      // UCITAJ BACKUP
    void BitBtn29Click();      // BRISI SAV PROMET
    void RadioButton15Click(); // Ukljucen FTP pristup
    void RadioButton16Click(); // Iskljucen FTP pristup
    void BitBtn30Click();      // PROVERI VEZU (Unit1FtpCheck.cpp)
    void BitBtn31Click();      // VRATI KOPIJU VAN LOKACIJE
    // After a restore of an off-site copy: the postings made after it must be entered again;
    // the administrator confirms when they are (Unit1Backup.cpp).
    void showRestoreNotice(bool administrator);

    QPushButton *BitBtn20 = nullptr;
    QPushButton *BitBtn21 = nullptr;
    QGroupBox *GroupBoxFtp = nullptr; // Ukljucivanje opcije za FTP pristup
    QRadioButton *RadioButton15 = nullptr;
    QRadioButton *RadioButton16 = nullptr;
    QButtonGroup *ftpOptions = nullptr;
    QLineEdit *Edit14 = nullptr; // Sever:
    QLineEdit *Edit15 = nullptr; // Username:
    QLineEdit *Edit16 = nullptr; // Password:
    class QCheckBox *CheckBox1 = nullptr; // Sifrovana veza (FTPS)
    class QCheckBox *CheckBox2 = nullptr; // Pasivni rezim
    QLineEdit *Edit17 = nullptr;          // Port:
    QLineEdit *Edit18 = nullptr;          // Putanja: (the remote path)
    QPushButton *BitBtn30 = nullptr;      // PROVERI VEZU
    QPushButton *BitBtn31 = nullptr;      // VRATI KOPIJU VAN LOKACIJE
    // The server key trusted for the encrypted upload (the option file's sixth line).
    QString ftpPinnedKey;
    class QListWidget *ListBox3 = nullptr; // Lista snimljenih prometa
    QLineEdit *Edit11 = nullptr;
    QPushButton *BitBtn23 = nullptr;
    QGroupBox *GroupBoxClearing = nullptr; // BRISANJE TABELE PROMETA
    QPushButton *BitBtn29 = nullptr;

private:
    void loadFtpOptions();
    // Writes the option file; false (after showing the reason) when it was kept as it was.
    bool saveFtpOptions(const QStringList &lines);
    // The FTP frame's boxes as settings, and settings into the boxes.
    FtpSettings typedFtpSettings() const;
    void showFtpSettings(const FtpSettings &settings);
    void restoreFtpOption(QRadioButton *option);
    // What the option file holds while the upload is on, as the boxes would write it: the
    // boxes differ from it when changed and not yet stored.
    QStringList ftpStoredLines;
    // PROVERI VEZU failed with the boxes' settings, and they have not been stored since.
    bool ftpCheckFailed = false;
    // Whether the upload is on and the boxes hold settings the option file does not.
    bool ftpSettingsChanged() const;
    // Leaving the backup page: changed settings are stored; after a failed check only when the
    // administrator says so.
    void leaveFtpSettings();
    // The backup list as the data directory holds it now.
    void fillBackupList();
    // The off-site copy of the backup podaci/`backupName`, under a progress dialog; what
    // desk::offsite::send() says.
    QString sendOffsite(const QString &backupName);
};
