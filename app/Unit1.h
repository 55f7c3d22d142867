#pragma once

// TForm1, the main window of the cash desk: a notebook of nine pages without tabs (login,
// the administrator's pages, the posting page), the main menu, and every handler of its
// controls. The class is one; its member functions are defined in files grouped by page:
//   Unit1.cpp          creation, date-format check, login, navigation
//   Unit1Posting.cpp   makes the posting page (PostingPage, which also writes the journal
//                      export "podaci.txt"); its handlers' forwarders
//   Unit1Master.cpp    makes the users, activities and groups pages (MasterDataPage) and the
//                      journal view (JournalViewPage); their handlers' forwarders
//   Unit1Report.cpp    makes the report page (ReportPage); its forwarders
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

#include <memory>
#include <optional>

struct FtpSettings;

#include "JournalViewPage.h"
#include "MasterDataPage.h"
#include "PageContext.h"
#include "PostingPage.h"
#include "ReportPage.h"
#include "ReportPreview.h"
#include "ReportStatement.h"

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

    // --- posting page (PostingPage) ---
    // Its handlers as the program names them, and what the other pages and the login ask of
    // it; the page does the work.
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
    void BitBtnSlipClick(); // STAMPAJ DOKUMENT: the last posting's voucher (nalog blagajni)
    void BitBtnDepositClick(); // POLOG NA RACUN: a deposit's reason with its slip
    void refreshBalances();
    QString closedDay(const QString &dayText);
    void clearPostingBoxes();
    void offerFirstGroup();
    void resetPostingChoices();
    void showNoBalances();
    bool prepareCashBook();
    bool exportJournal(const QString &messageStart = {});
    void printVoucher(const QString &number);
    // The posting page itself: its controls (Edit4, Label26, ...) and its state.
    PostingPage &posting() { return *postingPage; }

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
    void startUploadWhenReady();
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

    // One upload of the export: it starts once the message has been closed and the login
    // has completed, and its end is a success only when no error was reported meanwhile.
    struct UploadState
    {
        bool pending = false;       // waiting for the message and the login
        bool messageClosed = false;
        bool loggedIn = false;
        bool storing = false;       // UploadFile called, OnFileStored not yet come
        bool storeFailed = false;
        bool renaming = false;      // RenameFile called, OnFileRenamed not yet come
        bool renameFailed = false;
        bool deleting = false;      // the temporary copy after a refused rename
        bool deleteFailed = false;
        bool direct = false;        // storing under the remote path itself
        QString remotePath;         // from the option file
        QString temporaryPath;      // stored under first, then renamed over remotePath
        QString errorStatus;        // the status line of this attempt's error
    } upload;

    // The posting page's status line (Label26): that today is closed, then the upload's part.
    // A failed upload's line stands until the next attempt starts; a success's until the next
    // posting; the progress of an attempt shows only while neither stands.
    QString uploadStatus;
    bool uploadFailed = false;
    bool uploadDoneShown = false;
    void showStatusLine();
    void showUploadFailure(const QString &line);
    void showUploadProgress(const QString &line);

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

    // --- the deposits warning (Unit1Posting.cpp), rates (Unit1Settings.cpp) ---
    QLabel *LabelDeposits = nullptr;      // the administrator's menu: receipts not deposited
    void showDepositWarnings();
    QPushButton *BitBtnRates = nullptr;   // UVEZI KURSNU LISTU on the settings page
    void BitBtnRatesClick();
    void DayCloseClick();

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
    void finishUpload(ftp::TMFtp *sender);
    // Whether an upload (its login, store, rename or the delete of its copy) is under way.
    bool uploadInProgress() const;

    ftp::TMFtp *MFtp1 = nullptr;
    class QListWidget *ListBox6 = nullptr; // the option file's lines, never visible

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
    // --- the posting, master-data, journal and report pages' objects, and the context
    //     every page is handed (made at the first page's building) ---
public:
    PageContext &pageContext();

private:
    std::unique_ptr<PageContext> pagesContext;
    std::unique_ptr<MasterDataPage> usersPage;      // page 1
    std::unique_ptr<MasterDataPage> activitiesPage; // page 2
    std::unique_ptr<MasterDataPage> groupsPage;     // page 8
    std::unique_ptr<JournalViewPage> journalPage;   // page 6
    std::unique_ptr<ReportPage> reportPage;         // page 4
    std::unique_ptr<PostingPage> postingPage;       // page 5
};

