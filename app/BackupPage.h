#pragma once

// BackupPage: the backup and settings page (index 7, "BACK-UP i PODESAVANJA" on the
// administrator menu). Saving a dated copy of the journal and its off-site copy, restoring one
// (behind the administrator's code when it changes closed days), bringing the whole shop back
// from an off-site copy, emptying the journal (behind the administrator code, or behind a
// question and the engine's own password prompt), the FTP option (an FtpOptionBox) and the desk
// settings (a DeskSettingsBox).
//
// Guarantees: a backup is a consistent copy of the journal written to a temporary name and
// renamed, so a listed backup is always whole; a restore accepts only a plain file name of
// the data directory naming a journal table that opens with the table password and passes
// SQLite's integrity check, also when the current journal is missing or damaged, and
// replaces the journal by renaming a whole, checked copy over it, so the journal is never left
// half-written; a failed copy is reported with its reason and leaves the journal as it
// was; clearing empties the journal in one transaction.

#include <QObject>
#include <QString>

#include <memory>

class DeskSettingsBox;
class FtpOptionBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QWidget;
struct PageContext;
class PageHost;

namespace engine {
class Session;
class Table;
} // namespace engine

namespace platform {
class Clock;
class Dialogs;
} // namespace platform

// The off-site copy of the backup podaci/`backupName`, under a progress dialog while an FTP
// target is set up; the report of desk::offsite::send() on either outcome (empty when nothing
// is to be said).
QString sendOffsite(const PageContext &context, const QString &backupName);

class BackupPage : public QObject
{
public:
    // Creates the page's controls on `page`, the shell TForm1 made for it.
    BackupPage(PageContext &context, QWidget *page);
    ~BackupPage() override;

    // The page was opened: no backup chosen, the list, the FTP option and the desk settings
    // as they are stored.
    void entered();
    // After a restore of an off-site copy: the postings made after it must be entered again;
    // the administrator confirms when they are.
    void showRestoreNotice(bool administrator);

    void BitBtn20Click(); // SNIMI AKTUELNI PROMET
    void BitBtn21Click(); // OBRISI SADRZAJ TABELE PROMETA
    void ListBox3Click(); // a line of the backup list
    void BitBtn23Click(); // UCITAJ BACKUP
    void BitBtn29Click(); // BRISI SAV PROMET
    void BitBtn31Click(); // VRATI KOPIJU VAN LOKACIJE

    FtpOptionBox &ftpOption() { return *ftp; }
    DeskSettingsBox &deskSettings() { return *settings; }

protected:
    // Closing the window while the page is shown settles changed FTP settings.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The backup list as the data directory holds it now, and the off-site line.
    void fillBackupList();

    PageContext &m_context;
    engine::Session &session;
    platform::Dialogs &dialogs;
    const platform::Clock &clock;
    PageHost &window;
    engine::Table *Table3; // the journal

    QPushButton *BitBtn20 = nullptr;
    QPushButton *BitBtn21 = nullptr;
    QListWidget *ListBox3 = nullptr; // Lista snimljenih prometa
    QLineEdit *Edit11 = nullptr;
    QPushButton *BitBtn23 = nullptr;
    QPushButton *BitBtn31 = nullptr;
    QGroupBox *GroupBoxClearing = nullptr; // BRISANJE TABELE PROMETA
    QPushButton *BitBtn29 = nullptr;
    std::unique_ptr<FtpOptionBox> ftp;
    std::unique_ptr<DeskSettingsBox> settings;
};
