#pragma once

// TForm1, the main window of the cash desk: a notebook of eleven pages without tabs, the main
// menu, the login, the navigation between pages and the session (the logged-in user, the start
// directory, the audit log). It makes the engine's four tables and the query once and hands
// them with the system seams to every page in one PageContext; each page is a class of its own
// that creates its controls on the page widget TForm1 gives it, so that every control is a
// child of the window, found by its objectName. The pages know the window only as their
// PageHost (PageHost.h), which TForm1 implements; they never include this header. Where a
// handler's name is called on the window (tests, main.cpp, the other pages), TForm1 keeps a
// one-line forwarder to the page.
//   Unit1.cpp          creation, date-format check, login, navigation, the audit log
//   Unit1Shell.cpp     the menu, the page shells, the login and administrator menu pages,
//                      the window fitted to the screen
//   Unit1Posting.cpp   makes the posting page (PostingPage, which also writes the journal
//                      export "podaci.txt"); its handlers' forwarders
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
#include "PageHost.h"
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

class TForm1 : public QMainWindow, public PageHost
{
    Q_OBJECT
public:
    TForm1(engine::Session &session, platform::Dialogs &dialogs, const platform::Clock &clock,
           const platform::SystemSettings &settings, QWidget *parent = nullptr);
    ~TForm1() override;

    // State shared with the other pages.
    QString startDirectory() const override { return startDir; }
    QString currentUserName() const override { return currentUser; }
    // Writes `act` with `details` to the audit log beside the journal, in the name of the user.
    void logAct(const QString &act, const QString &details) override;
    // The check of the journal the administrator's login started (tests wait for it).
    class ChainCheck *journalCheck() const { return chainCheck; }
    bool dateFormatAccepted() const { return dateFormatOk; }
    int pageIndex() const;
    void showPage(int index);
    // Today as the system's short date text.
    QString todayText() const override;
    // Closes the engine session and with it every table and query it opened.
    void closeSession() override;
    // The notebook, the upload's FTP component and the window itself, for the pages.
    QStackedWidget &notebook() override { return *Notebook1; }
    ftp::TMFtp &uploadFtp() override { return *MFtp1; }
    QWidget &widget() override { return *this; }

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
    void BitBtn10Click() override; // MENI ADMINISTRATORA (all six)
    void BitBtnDayReportClick(); // DNEVNI IZVESTAJ (DayReportPage)
    void BitBtnCountClick() override; // POPIS KASE, on the posting page (CashCountPage)
    // After a restore of an off-site copy (BackupPage): at the login.
    void showRestoreNotice(bool administrator);
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
    void BitBtn8Click() override;  // PROKNJIZI
    void BitBtn18Click() override; // STA STE SVE KNJIZILI?
    void BitBtnSlipClick(); // STAMPAJ DOKUMENT: the last posting's voucher (nalog blagajni)
    void BitBtnDepositClick(); // POLOG NA RACUN: a deposit's reason with its slip
    void refreshBalances() override;
    QString closedDay(const QString &dayText);
    void clearPostingBoxes();
    void offerFirstGroup();
    void resetPostingChoices();
    void showNoBalances() override;
    bool prepareCashBook();
    bool exportJournal(const QString &messageStart = {}) override;
    void printVoucher(const QString &number) override;
    // The posting page itself: its controls (Edit4, Label26, ...) and its state.
    PostingPage &posting() { return *postingPage; }

    // After every export: the upload of the export when the FTP option is on.
    void uploadDecision() override;

    // The review window that the posting page's "STA STE SVE KNJIZILI?" shows; main()
    // creates it after the main window.
    // Its "STORNIRAJ" reverses through reverseDocument().
    void setReviewWindow(TForm2 *window);
    // How the report page shows its report (the preview window unless replaced).
    void setReportPreview(ReportPreview preview) { reportPreview = std::move(preview); }

    // Controls, named as the program names them (also their objectName): the menu, the
    // notebook and the login page. The administrator menu's buttons, the pages' "MENI
    // ADMINISTRATORA" and the other pages' controls are found by their names.
    QAction *Glavnimeni1 = nullptr;
    QAction *Izlazizprograma1 = nullptr;
    QAction *Pomoc1 = nullptr;
    QStackedWidget *Notebook1 = nullptr;
    LoginBackground *Image1 = nullptr;
    QLineEdit *Edit1 = nullptr;
    QPushButton *BitBtn9 = nullptr;

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

    void showStatusLine();

    // What every page is handed (the data components among it: the four tables and Query1,
    // made once in the constructor), and the pages of their own classes.
    PageContext context;
    std::unique_ptr<BackupPage> backupPage;
    std::unique_ptr<DayReportPage> dayReportPage;
    std::unique_ptr<CashCountPage> cashCountPage;

public:

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

    // --- the administrator menu's deposit warnings (Unit1Posting.cpp) ---
    QLabel *LabelDeposits = nullptr;      // the administrator's menu: receipts not deposited
    void showDepositWarnings();

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
    void showReport(report::Document &document) override { reportPreview(document); }

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
    std::unique_ptr<PostingPage> postingPage;       // page 5
};

