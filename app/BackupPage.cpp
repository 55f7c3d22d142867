// BackupPage: the backup page's controls, the backup and its off-site copy, the restores and
// the clearings of the journal.
#include "BackupPage.h"

#include "BackupFiles.h"
#include "DeskSettingsBox.h"
#include "FirstStart.h"
#include "FtpOptionBox.h"
#include "OpenTables.h"
#include "PageContext.h"
#include "PageHost.h"
#include "UiHelpers.h"

#include "desk/CashBook.h"
#include "desk/Offsite.h"
#include "desk/OffsiteRestore.h"
#include "desk/Restore.h"

#include "engine/EngineError.h"
#include "engine/Session.h"
#include "engine/Table.h"
#include "engine/TextForms.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"

#include <QDir>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>

namespace {

// The administrator code that guards "OBRISI SADRZAJ TABELE PROMETA", compared exactly.
const QString AdministratorCode = QStringLiteral("tovel38");
const QString AreYouSure = QStringLiteral("Da li ste sigurni?");

// The name of the archive backup ("bck-arhiva-...", listed with the backups) that a clear or a
// restore writes of the journal before replacing it.
QString archiveName(const QString &dateText, const QString &timeText)
{
    return QStringLiteral("bck-arhiva-") + backup_files::backupFileName(dateText, timeText).mid(4);
}

} // namespace

QString sendOffsite(const PageContext &context, const QString &backupName)
{
    const QString startDir = context.window.startDirectory();
    // An FTP target waits on the server: the progress dialog keeps the window from being
    // used meanwhile, and shows why it waits.
    std::optional<platform::ProgressShown> busy;
    if (desk::offsite::settings(startDir).any())
        busy.emplace(context.dialogs, QStringLiteral("Kopija van lokacije u toku..."));
    // A failed copy leaves the backup standing: the report says why, as it says a copy made.
    QString report;
    desk::offsite::send(startDir, backupName, context.clock.currentDateTime(), &report);
    return report;
}

BackupPage::BackupPage(PageContext &context, QWidget *page)
    : m_context(context), session(context.session), dialogs(context.dialogs), clock(context.clock),
      window(context.window), Table3(context.journal)
{
    page->findChild<QPushButton *>(QStringLiteral("BitBtn22"))->setGeometry(16, 440, 200, 40);

    // Left: backup, clearing with the code, the FTP frame.
    BitBtn20 = named(new QPushButton(QStringLiteral("SNIMI AKTUELNI PROMET"), page), "BitBtn20");
    BitBtn20->setFont(uiFont(12, true));
    BitBtn20->setGeometry(16, 56, 320, 48);
    BitBtn21 = named(new QPushButton(QStringLiteral("OBRISI SADRZAJ TABELE PROMETA"), page),
                     "BitBtn21");
    BitBtn21->setFont(uiFont(10, true));
    BitBtn21->setGeometry(16, 112, 320, 40);
    ftp = std::make_unique<FtpOptionBox>(context, page);

    // Right: the backup list, the restore name, the restore and the second clearing.
    auto *listHeading = new QLabel(QStringLiteral("Lista snimljenih prometa"), page);
    listHeading->setObjectName(QStringLiteral("LabelBackupList"));
    listHeading->setFont(uiFont(10, true));
    listHeading->setGeometry(360, 48, 336, 20);
    ListBox3 = named(new QListWidget(page), "ListBox3");
    ListBox3->setGeometry(360, 70, 336, 114);
    Edit11 = named(new QLineEdit(page), "Edit11");
    Edit11->setGeometry(360, 188, 336, 26);
    BitBtn23 = named(new QPushButton(QStringLiteral("UCITAJ BACKUP"), page), "BitBtn23");
    BitBtn23->setFont(uiFont(12, true));
    BitBtn23->setGeometry(360, 218, 336, 34);
    // The copies away from the shop: listed with their sealed times, one restored whole.
    BitBtn31 = named(new QPushButton(QStringLiteral("VRATI KOPIJU VAN LOKACIJE"), page), "BitBtn31");
    BitBtn31->setFont(uiFont(10, true));
    BitBtn31->setGeometry(360, 256, 336, 32);
    settings = std::make_unique<DeskSettingsBox>(context, page, [this] { fillBackupList(); });

    GroupBoxClearing = named(new QGroupBox(QStringLiteral("BRISANJE TABELE PROMETA"), page),
                             "GroupBoxClearing");
    GroupBoxClearing->setGeometry(360, 414, 336, 42);
    BitBtn29 = named(new QPushButton(QStringLiteral("BRISI SAV PROMET"), GroupBoxClearing),
                     "BitBtn29");
    BitBtn29->setFont(uiFont(10, true));
    BitBtn29->setGeometry(12, 16, 312, 22);
    // The newest off-site copy, or why the last one failed (fillBackupList() fills it).
    auto *offsite = new QLabel(page);
    offsite->setObjectName(QStringLiteral("LabelOffsite"));
    offsite->setWordWrap(true);
    offsite->setGeometry(360, 456, 336, 40); // the page ends at 496

    connect(BitBtn20, &QPushButton::clicked, this, &BackupPage::BitBtn20Click);
    connect(BitBtn21, &QPushButton::clicked, this, &BackupPage::BitBtn21Click);
    connect(ListBox3, &QListWidget::itemClicked, this, &BackupPage::ListBox3Click);
    connect(ListBox3, &QListWidget::currentRowChanged, this, &BackupPage::ListBox3Click);
    connect(BitBtn23, &QPushButton::clicked, this, &BackupPage::BitBtn23Click);
    connect(BitBtn29, &QPushButton::clicked, this, &BackupPage::BitBtn29Click);
    connect(BitBtn31, &QPushButton::clicked, this, &BackupPage::BitBtn31Click);
    // The clearings and the restore write an archive backup (and a failed one may still have
    // written it): after each, whatever its outcome, the list shows what is there.
    for (QPushButton *writesBackup : {BitBtn21, BitBtn23, BitBtn29, BitBtn31})
        connect(writesBackup, &QPushButton::clicked, this, &BackupPage::fillBackupList);
    // Leaving the page, for another page or by closing the window, settles changed FTP
    // settings.
    connect(&window.notebook(), &QStackedWidget::currentChanged, this,
            [this, shown = window.notebook().currentIndex()](int index) mutable {
                if (shown == PageBackup && index != PageBackup)
                    ftp->leaveFtpSettings();
                shown = index;
            });
    window.widget().installEventFilter(this);
}

BackupPage::~BackupPage() = default;

bool BackupPage::eventFilter(QObject *, QEvent *event)
{
    if (event->type() == QEvent::Close && window.notebook().currentIndex() == PageBackup)
        ftp->leaveFtpSettings();
    return false;
}

// ---------------------------------------------------------------------------------------
// Entering the page

void BackupPage::entered()
{
    Edit11->clear();
    fillBackupList();
    ftp->loadFtpOptions();
    settings->loadDeskSettings();
}

void BackupPage::fillBackupList()
{
    const QString startDir = window.startDirectory();
    const QSignalBlocker quiet(ListBox3); // filling the list is not a choice of a line
    ListBox3->clear();
    ListBox3->addItems(backup_files::listBackupNames(backup_files::dataDirectory(startDir)));
    if (auto *offsite = window.widget().findChild<QLabel *>(QStringLiteral("LabelOffsite")))
        offsite->setText(desk::offsite::statusLine(startDir));
    QDir::setCurrent(startDir);
}

void BackupPage::ListBox3Click()
{
    if (const QListWidgetItem *item = ListBox3->currentItem())
        Edit11->setText(item->text());
}

// ---------------------------------------------------------------------------------------
// Backup and restore

void BackupPage::BitBtn20Click()
{
    const QString name =
        backup_files::backupFileName(window.todayText(), engine::timeText(clock.now()));
    try {
        session.setPassword(desk::tablePassword());
        {
            const platform::ProgressShown busy(dialogs, QStringLiteral("Snimanje back-up-a u toku..."));
            desk::cashbook::backupJournal(session, name);
        }
        // The off-site copy follows; its failure is said, the backup stands.
        const QString sent = sendOffsite(m_context, name);
        dialogs.message(sent.isEmpty() ? QStringLiteral("SNIMLJENO")
                                       : QStringLiteral("SNIMLJENO\n") + sent);
    } catch (const engine::EngineError &e) {
        dialogs.message(QStringLiteral("Back-up NIJE snimljen: ") + e.message());
    }
    // Back to the administrator menu, as "MENI ADMINISTRATORA" does: the list is filled afresh
    // when the page is opened again.
    window.BitBtn10Click();
}

void BackupPage::BitBtn23Click()
{
    const QString startDir = window.startDirectory();
    const QString name = Edit11->text();
    // The question says what the restore costs when both tables can be read: the postings
    // lost and every closed day whose figures it would change.
    std::optional<desk::restore::Preview> preview;
    QString refusal;
    try {
        preview = desk::restore::preview(startDir, name);
    } catch (const engine::EngineError &e) {
        refusal = e.message();
    }
    QString question = AreYouSure;
    if (preview && preview->lost)
        question += QStringLiteral(" %1 promena posle ovog back-up-a ce biti izgubljeno").arg(*preview->lost);
    const bool changesClosedDays = preview && desk::restore::needsAdminCode(*preview);
    if (changesClosedDays) {
        QStringList days;
        for (const desk::cashbook::ClosedDayDrift &d : std::as_const(preview->closedDays))
            days += d.lines();
        question += QStringLiteral("\n\nOvaj back-up MENJA ZAKLJUCENE DANE:\n") + days.join(u'\n') +
                    QStringLiteral("\n\nZa ucitavanje je potrebna sifra administratora.");
    }
    if (!dialogs.confirm(question))
        return;
    if (name.isEmpty()) {
        dialogs.message(QStringLiteral("Prvo izaberite neki back-up iz liste!"));
        return;
    }
    const auto refuse = [this](const QString &reason) {
        dialogs.message(QStringLiteral("Back-up NIJE ucitan: ") + reason);
    };
    if (!preview)
        return refuse(refusal);
    // A closed day is changed only by the administrator, who says so with his code.
    if (changesClosedDays) {
        const std::optional<QString> code = dialogs.password(
            QStringLiteral("Sifra administratora"),
            QStringLiteral("Back-up menja zakljucene dane. Unesite sifru administratora:"));
        if (!code)
            return;
        if (QString why; !desk::restore::allowed(startDir, *preview, *code, why))
            return refuse(why);
    }

    // Nothing may hold the journal open while it is replaced: close the whole session and
    // detach the journal.
    window.closeSession();
    const QString tablePath = Table3->tablePath();
    Table3->setTablePath(QString());
    desk::restore::Outcome outcome;
    try {
        const platform::ProgressShown busy(dialogs, QStringLiteral("Vracanje back-up-a u toku..."));
        outcome = desk::restore::run(
            startDir, name, window.currentUserName(), archiveName(window.todayText(), engine::timeText(clock.now())),
            preview->closedDays);
    } catch (const engine::EngineError &e) {
        Table3->setTablePath(tablePath);
        return refuse(e.message());
    }
    Table3->setTablePath(tablePath);
    Edit11->clear();
    if (!outcome.bookError.isEmpty()) {
        dialogs.message(QStringLiteral("Ucitao sam podatke iz back-up fajla, ali zakljuceni dani "
                                       "i brojevi dokumenata nisu preneti: ") +
                        outcome.bookError);
        return;
    }
    dialogs.message(QStringLiteral("Ucitao sam podatke iz back-up fajla!"));
}

// The whole shop back from an off-site copy of the set-up targets, in the administrator's
// name: the same restore as the first start's and dorvanta-admin restore-offsite.
void BackupPage::BitBtn31Click()
{
    const QString startDir = window.startDirectory();
    const desk::offsite::Settings targets = desk::offsite::settings(startDir);
    if (!targets.any()) {
        dialogs.message(QStringLiteral("Kopije van lokacije nisu podesene (VAN LOKACIJE)"));
        return;
    }
    const std::optional<QString> code = dialogs.password(
        QStringLiteral("Sifra administratora"),
        QStringLiteral("Kopija vraca sve podatke radnje. Unesite sifru administratora:"));
    if (!code)
        return;
    if (!desk::checkAdminCode(startDir, *code)) {
        dialogs.message(QStringLiteral("Kopija NIJE vracena: sifra administratora nije tacna"));
        return;
    }
    QByteArray key;
    try {
        key = desk::offsite::key(startDir);
    } catch (const engine::EngineError &e) {
        dialogs.message(QStringLiteral("Kopija NIJE vracena: ") + e.message());
        return;
    }
    // Nothing may hold a table open while the shop is replaced.
    window.closeSession();
    const QString tablePath = Table3->tablePath();
    Table3->setTablePath(QString());
    const std::optional<QString> lines = FirstStart::chooseAndRestore(
        startDir, targets, key, dialogs, window.currentUserName(), clock.currentDateTime());
    Table3->setTablePath(tablePath);
    if (lines)
        dialogs.message(*lines);
}

void BackupPage::showRestoreNotice(bool administrator)
{
    const QString startDir = window.startDirectory();
    const QString notice = desk::offsite::notice(startDir);
    if (notice.isEmpty())
        return;
    if (!administrator) {
        dialogs.message(notice);
        return;
    }
    if (!dialogs.confirmWithButtons(notice + QStringLiteral("\n\nDa li su svi ti nalozi uneti?"),
                                    QStringLiteral("Uneti su"), QStringLiteral("Jos nisu")))
        return;
    try {
        desk::offsite::confirmNotice(startDir, window.currentUserName());
    } catch (const engine::EngineError &e) {
        dialogs.message(e.message());
    }
}

// ---------------------------------------------------------------------------------------
// Clearing the journal

void BackupPage::BitBtn21Click()
{
    const QString startDir = window.startDirectory();
    const QString code =
        dialogs
            .prompt(QStringLiteral("Unesite sifru"),
                    QStringLiteral("Unesite sifru (pre brisanja bekapujete podatke!"), QString())
            .value_or(QString());
    if (code != AdministratorCode) {
        dialogs.message(QStringLiteral("SIFRA NIJE TACNA, TABELA NIJE OBRISANA!"));
        return;
    }
    try {
        OpenTables tables(session, {Table3});
        // The journal is archived first, then emptied whole in one transaction and logged, or
        // not at all.
        desk::restore::clear(*Table3, startDir, window.currentUserName(),
                             archiveName(window.todayText(), engine::timeText(clock.now())));
    } catch (const engine::EngineError &e) {
        dialogs.message(e.message());
        return;
    }
    dialogs.message(QStringLiteral("Tabela sa podacima prometa obrisana!"));
}

void BackupPage::BitBtn29Click()
{
    const QString startDir = window.startDirectory();
    if (!dialogs.confirm(AreYouSure))
        return;
    // No password is handed here: unless the session still holds one, the engine asks for
    // it with its own prompt, and a wrong or cancelled answer fails the opening.
    try {
        Table3->open();
        desk::restore::clear(*Table3, startDir, window.currentUserName(),
                             archiveName(window.todayText(), engine::timeText(clock.now())));
        Table3->close();
    } catch (const engine::EngineError &e) {
        Table3->close();
        dialogs.message(e.message());
    }
}

