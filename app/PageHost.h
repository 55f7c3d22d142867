#pragma once

// What a page asks of the main window that holds it, and nothing more: the session as a whole
// (the start directory, the logged-in user, today, the audit log, closing the engine session),
// the posting page's balances, export and upload that the other pages' postings go through,
// how reports are shown, the notebook of pages (numbered by Page below), the upload's FTP
// component, and the window as a widget for finding controls and filtering its events.
// TForm1 is the one host; the pages know it only through this, so that they do not depend on
// the window's own header.

#include <QString>

class QStackedWidget;
class QWidget;

namespace ftp {
class TMFtp;
} // namespace ftp

namespace report {
class Document;
} // namespace report

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

class PageHost
{
public:
    virtual ~PageHost() = default;

    // The data directory the program started in.
    virtual QString startDirectory() const = 0;
    // The logged-in user, in whose name records and audit entries are written.
    virtual QString currentUserName() const = 0;
    // Today as the system's short date text.
    virtual QString todayText() const = 0;
    // Writes `act` with `details` to the audit log beside the journal, in the name of the user.
    virtual void logAct(const QString &act, const QString &details) = 0;
    // Closes the engine session and with it every table and query it opened.
    virtual void closeSession() = 0;

    // The journal's balances into the posting page's balance boxes, after a posting elsewhere.
    virtual void refreshBalances() = 0;
    // Empties the posting page's balance boxes: no balance is shown rather than a wrong one.
    virtual void showNoBalances() = 0;
    // Writes the whole journal to "podaci.txt"; false (after showing `messageStart` and the
    // reason) when the journal could not be read or the file not written.
    virtual bool exportJournal(const QString &messageStart) = 0;
    // After every export: the upload of the export when the FTP option is on.
    virtual void uploadDecision() = 0;
    // Previews the voucher of the document `number`, read in the journal.
    virtual void printVoucher(const QString &number) = 0;

    // Shows a prepared report as the window shows its reports (the preview, unless a test
    // replaced it).
    virtual void showReport(report::Document &document) = 0;

    // The posting page's PROKNJIZI, STA STE SVE KNJIZILI? and POPIS KASE, handled by the window.
    virtual void BitBtn8Click() = 0;
    virtual void BitBtn18Click() = 0;
    virtual void BitBtnCountClick() = 0;
    // MENI ADMINISTRATORA: back to the administrator's menu.
    virtual void BitBtn10Click() = 0;

    // The notebook of pages (Page above): the page shown and its changes.
    virtual QStackedWidget &notebook() = 0;
    // The FTP component the journal export is uploaded with.
    virtual ftp::TMFtp &uploadFtp() = 0;
    // The window itself: the parent of every control, whose events a page may filter.
    virtual QWidget &widget() = 0;
};
