// TForm1's backup and settings page: saving a dated copy of the journal, restoring one,
// emptying the journal (behind the administrator code, or behind a question and the
// engine's own password prompt), and the FTP option file "podaci\ftpop.txt".
//
// Guarantees: a backup is a consistent copy of the journal written to a temporary name and
// renamed, so a listed backup is always whole; a restore accepts only a plain file name of
// the data directory naming a journal table that opens with the table password and passes
// SQLite's integrity check, also when the current journal is missing or damaged, and
// replaces the journal by renaming a whole, checked copy over it, so the journal is never left
// half-written; a failed copy is reported with its reason and leaves the journal as it
// was; clearing empties the journal in one transaction; the option file is replaced
// atomically and is readable and writable by its owner only.
#include "Unit1.h"
#include "FirstStart.h"
#include "FtpSettings.h"

#include "BackupFiles.h"
#include "OpenTables.h"
#include "UiHelpers.h"

#include "desk/CashBook.h"
#include "desk/JournalChain.h"
#include "desk/Offsite.h"
#include "desk/OffsiteRestore.h"
#include "desk/Restore.h"

#include "engine/EngineError.h"
#include "engine/Session.h"
#include "engine/Table.h"
#include "engine/TableSchema.h"
#include "engine/TableStores.h"
#include "engine/TextForms.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/TextFiles.h"

#include <QButtonGroup>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>

#include <functional>

namespace {

// The administrator code that guards "OBRISI SADRZAJ TABELE PROMETA", compared exactly.
const QString AdministratorCode = QStringLiteral("tovel38");
const QString AreYouSure = QStringLiteral("Da li ste sigurni?");

// The option file holds the FTP password: owner only.
constexpr QFileDevice::Permissions OptionFilePermissions =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner;

// The name of the archive backup ("bck-arhiva-...", listed with the backups) that a clear or a
// restore writes of the journal before replacing it.
QString archiveName(const QString &dateText, const QString &timeText)
{
    return QStringLiteral("bck-arhiva-") + backup_files::backupFileName(dateText, timeText).mid(4);
}

// Runs `onClose` when its window is asked to close, before the window's own handling.
class CloseWatch : public QObject
{
public:
    CloseWatch(QWidget *window, std::function<void()> onClose)
        : QObject(window), m_onClose(std::move(onClose))
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Close)
            m_onClose();
        return false;
    }

private:
    std::function<void()> m_onClose;
};

} // namespace

void TForm1::buildBackupPage()
{
    QWidget *page = buildPageShell(PageBackup, QStringLiteral("BACK UP"),
                                   QStringLiteral("BitBtn22"));
    BitBtn22->setGeometry(16, 440, 200, 40);

    // Left: backup, clearing with the code, the FTP frame.
    BitBtn20 = named(new QPushButton(QStringLiteral("SNIMI AKTUELNI PROMET"), page), "BitBtn20");
    BitBtn20->setFont(uiFont(12, true));
    BitBtn20->setGeometry(16, 56, 320, 48);
    BitBtn21 = named(new QPushButton(QStringLiteral("OBRISI SADRZAJ TABELE PROMETA"), page),
                     "BitBtn21");
    BitBtn21->setFont(uiFont(10, true));
    BitBtn21->setGeometry(16, 112, 320, 40);

    GroupBoxFtp = named(new QGroupBox(QStringLiteral("Ukljucivanje opcije za FTP pristup"), page),
                        "GroupBoxFtp");
    GroupBoxFtp->setGeometry(16, 172, 320, 262); // the network and FTPS rows below the boxes
    RadioButton16 = named(new QRadioButton(QStringLiteral("Iskljucen FTP pristup"), GroupBoxFtp),
                          "RadioButton16");
    RadioButton16->setGeometry(12, 24, 296, 22);
    RadioButton15 = named(new QRadioButton(QStringLiteral("Ukljucen FTP pristup"), GroupBoxFtp),
                          "RadioButton15");
    RadioButton15->setGeometry(12, 50, 296, 22);
    CheckBox1 = named(new QCheckBox(QStringLiteral("Sifrovana veza (FTPS)"), GroupBoxFtp),
                      "CheckBox1");
    CheckBox1->setGeometry(12, 228, 170, 22);
    BitBtn30 = named(new QPushButton(QStringLiteral("PROVERI VEZU"), GroupBoxFtp), "BitBtn30");
    BitBtn30->setGeometry(188, 224, 120, 30);
    // Behind a NAT router only passive mode works; the port and the remote path as the
    // hosting provider gives them.
    CheckBox2 = named(new QCheckBox(QStringLiteral("Pasivni rezim"), GroupBoxFtp), "CheckBox2");
    CheckBox2->setGeometry(170, 168, 138, 22);
    CheckBox2->setChecked(true); // a new setting is passive
    connect(BitBtn30, &QPushButton::clicked, this, &TForm1::BitBtn30Click);
    struct Box
    {
        QLineEdit **edit;
        const char *name;
        const char *label;
        int top;
    };
    const Box boxes[] = {{&Edit14, "Edit14", "Sever:", 76},
                         {&Edit15, "Edit15", "Username:", 106},
                         {&Edit16, "Edit16", "Password:", 136},
                         {&Edit17, "Edit17", "Port:", 166},
                         {&Edit18, "Edit18", "Putanja:", 196}};
    for (const Box &b : boxes) {
        auto *label = new QLabel(QString::fromLatin1(b.label), GroupBoxFtp);
        label->setGeometry(12, b.top + 4, 80, 20);
        *b.edit = named(new QLineEdit(GroupBoxFtp), b.name);
        (*b.edit)->setGeometry(96, b.top, 212, 26);
    }
    Edit16->setEchoMode(QLineEdit::Password); // the password is never shown over a shoulder
    Edit17->setGeometry(96, 166, 64, 26);
    Edit17->setText(QStringLiteral("21"));
    Edit18->setText(FtpSettings::DefaultRemotePath);

    // A pair of options: selecting the one not yet selected deselects its partner and runs
    // its handler; selecting the selected one does nothing. The initial choice is made
    // before the handlers are connected, so creating the window writes no file.
    ftpOptions = new QButtonGroup(this);
    ftpOptions->addButton(RadioButton16);
    ftpOptions->addButton(RadioButton15);
    RadioButton16->setChecked(true);
    connect(RadioButton15, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            RadioButton15Click();
    });
    connect(RadioButton16, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            RadioButton16Click();
    });

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
    buildDeskSettingsBox(page);

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

    connect(BitBtn20, &QPushButton::clicked, this, &TForm1::BitBtn20Click);
    connect(BitBtn21, &QPushButton::clicked, this, &TForm1::BitBtn21Click);
    connect(ListBox3, &QListWidget::itemClicked, this, &TForm1::ListBox3Click);
    connect(ListBox3, &QListWidget::currentRowChanged, this, &TForm1::ListBox3Click);
    connect(BitBtn23, &QPushButton::clicked, this, &TForm1::BitBtn23Click);
    connect(BitBtn29, &QPushButton::clicked, this, &TForm1::BitBtn29Click);
    connect(BitBtn31, &QPushButton::clicked, this, &TForm1::BitBtn31Click);
    // The clearings and the restore write an archive backup (and a failed one may still have
    // written it): after each, whatever its outcome, the list shows what is there.
    for (QPushButton *writesBackup : {BitBtn21, BitBtn23, BitBtn29, BitBtn31})
        connect(writesBackup, &QPushButton::clicked, this, &TForm1::fillBackupList);
    // Leaving the page, for another page or by closing the window, settles changed FTP
    // settings.
    connect(Notebook1, &QStackedWidget::currentChanged, this,
            [this, shown = Notebook1->currentIndex()](int index) mutable {
                if (shown == PageBackup && index != PageBackup)
                    leaveFtpSettings();
                shown = index;
            });
    new CloseWatch(this, [this] {
        if (Notebook1->currentIndex() == PageBackup)
            leaveFtpSettings();
    });
}

// ---------------------------------------------------------------------------------------
// Entering the page

void TForm1::BitBtn19Click()
{
    showPage(PageBackup);
    Edit11->clear();
    fillBackupList();
    loadFtpOptions();
    loadDeskSettings();
}

void TForm1::fillBackupList()
{
    const QSignalBlocker quiet(ListBox3); // filling the list is not a choice of a line
    ListBox3->clear();
    ListBox3->addItems(backup_files::listBackupNames(backup_files::dataDirectory(startDir)));
    if (auto *offsite = findChild<QLabel *>(QStringLiteral("LabelOffsite")))
        offsite->setText(desk::offsite::statusLine(startDir));
    QDir::setCurrent(startDir);
}

std::optional<QStringList> TForm1::loadFtpOptionLines()
{
    const QString path = backup_files::ftpOptionFile(startDir);
    QString reason;
    std::optional<QStringList> lines = platform::loadLines(path, &reason);
    if (!lines)
        dialogs.message(QStringLiteral("Cannot open file \"%1\". %2").arg(path, reason));
    return lines;
}

void TForm1::showMissingLine(qsizetype index)
{
    dialogs.message(QStringLiteral("List index out of bounds (%1)").arg(index));
}

void TForm1::loadFtpOptions()
{
    const std::optional<QStringList> lines = loadFtpOptionLines();
    if (!lines)
        return;
    // Reading a line the file lacks fails with the list's error, after the lines before it
    // have been used; the options then stay as they were.
    const auto line = [&](int index) -> std::optional<QString> {
        if (index < lines->size())
            return lines->at(index);
        showMissingLine(index);
        return std::nullopt;
    };

    const std::optional<QString> first = line(0);
    if (!first)
        return;
    if (*first == QLatin1String("1")) {
        QLineEdit *const edits[] = {Edit14, Edit15, Edit16};
        for (int i = 0; i < 3; ++i) {
            const std::optional<QString> value = line(i + 1);
            if (!value)
                return;
            edits[i]->setText(*value);
        }
        // Optional: "FTPS" and the trusted key, then passive mode, port and remote path.
        showFtpSettings(FtpSettings::fromLines(*lines));
        ftpStoredLines = typedFtpSettings().toLines();
        ftpCheckFailed = false;
        RadioButton15->setChecked(true);
    }
    if (*first == QLatin1String("0"))
        RadioButton16->setChecked(true);
}

void TForm1::ListBox3Click()
{
    if (const QListWidgetItem *item = ListBox3->currentItem())
        Edit11->setText(item->text());
}

// ---------------------------------------------------------------------------------------
// Backup and restore

void TForm1::BitBtn20Click()
{
    const QString name =
        backup_files::backupFileName(todayText(), engine::timeText(clock.now()));
    try {
        session.setPassword(desk::tablePassword());
        {
            const platform::ProgressShown busy(dialogs, QStringLiteral("Snimanje back-up-a u toku..."));
            desk::cashbook::backupJournal(session, name);
        }
        // The off-site copy follows; its failure is said, the backup stands.
        const QString sent = sendOffsite(name);
        dialogs.message(sent.isEmpty() ? QStringLiteral("SNIMLJENO")
                                       : QStringLiteral("SNIMLJENO\n") + sent);
    } catch (const engine::EngineError &e) {
        dialogs.message(QStringLiteral("Back-up NIJE snimljen: ") + e.message());
    }
    // Back to the administrator menu, as "MENI ADMINISTRATORA" does: the list is filled afresh
    // when the page is opened again.
    BitBtn10Click();
}

QString TForm1::sendOffsite(const QString &backupName)
{
    // An FTP target waits on the server: the progress dialog keeps the window from being
    // used meanwhile, and shows why it waits.
    std::optional<platform::ProgressShown> busy;
    if (desk::offsite::settings(startDir).any())
        busy.emplace(dialogs, QStringLiteral("Kopija van lokacije u toku..."));
    return desk::offsite::send(startDir, backupName, clock.currentDateTime());
}

void TForm1::BitBtn23Click()
{
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
    closeSession();
    const QString tablePath = Table3->tablePath();
    Table3->setTablePath(QString());
    desk::restore::Outcome outcome;
    try {
        const platform::ProgressShown busy(dialogs, QStringLiteral("Vracanje back-up-a u toku..."));
        outcome = desk::restore::run(
            startDir, name, currentUser, archiveName(todayText(), engine::timeText(clock.now())),
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
void TForm1::BitBtn31Click()
{
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
    if (!desk::checkAdminCode(startDir, *code).isEmpty()) {
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
    closeSession();
    const QString tablePath = Table3->tablePath();
    Table3->setTablePath(QString());
    const std::optional<QString> lines = FirstStart::chooseAndRestore(
        startDir, targets, key, dialogs, currentUser, clock.currentDateTime());
    Table3->setTablePath(tablePath);
    if (lines)
        dialogs.message(*lines);
}

void TForm1::showRestoreNotice(bool administrator)
{
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
        desk::offsite::confirmNotice(startDir, currentUser);
    } catch (const engine::EngineError &e) {
        dialogs.message(e.message());
    }
}

// ---------------------------------------------------------------------------------------
// Clearing the journal

void TForm1::BitBtn21Click()
{
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
        desk::restore::clear(*Table3, startDir, currentUser,
                             archiveName(todayText(), engine::timeText(clock.now())));
    } catch (const engine::EngineError &e) {
        dialogs.message(e.message());
        return;
    }
    dialogs.message(QStringLiteral("Tabela sa podacima prometa obrisana!"));
}

void TForm1::BitBtn29Click()
{
    if (!dialogs.confirm(AreYouSure))
        return;
    // No password is handed here: unless the session still holds one, the engine asks for
    // it with its own prompt, and a wrong or cancelled answer fails the opening.
    try {
        Table3->open();
        desk::restore::clear(*Table3, startDir, currentUser,
                             archiveName(todayText(), engine::timeText(clock.now())));
        Table3->close();
    } catch (const engine::EngineError &e) {
        Table3->close();
        dialogs.message(e.message());
    }
}

// ---------------------------------------------------------------------------------------
// FTP option

void TForm1::RadioButton15Click()
{
    // The file is single-byte Windows-1250, one value per line: a value it cannot hold
    // exactly (a character outside the code page, a line break) would be stored altered and
    // the login would then fail without a word. Such a value is refused instead.
    const std::pair<QLineEdit *, const char *> fields[] = {
        {Edit14, "Sever"}, {Edit15, "Username"}, {Edit16, "Password"}};
    for (const auto &[edit, label] : fields) {
        if (!platform::fitsWindows1250Line(edit->text())) {
            dialogs.message(QStringLiteral("Polje %1 sadrzi znak koji se ne moze sacuvati u "
                                           "ftpop.txt; FTP podesavanje nije promenjeno.")
                                .arg(QLatin1String(label)));
            restoreFtpOption(RadioButton16);
            return;
        }
    }
    if (!platform::fitsWindows1250Line(Edit18->text())) {
        dialogs.message(QStringLiteral("Polje Putanja sadrzi znak koji se ne moze sacuvati u "
                                       "ftpop.txt; FTP podesavanje nije promenjeno."));
        restoreFtpOption(RadioButton16);
        return;
    }
    const QStringList lines = typedFtpSettings().toLines();
    if (!saveFtpOptions(lines)) {
        restoreFtpOption(RadioButton16);
        return;
    }
    ftpStoredLines = lines;
    ftpCheckFailed = false;
    logAct(QStringLiteral("FTP"), QStringLiteral("FTP pristup ukljucen: server %1, korisnik %2")
                                      .arg(Edit14->text(), Edit15->text()));
}

FtpSettings TForm1::typedFtpSettings() const
{
    FtpSettings s;
    s.server = Edit14->text();
    s.user = Edit15->text();
    s.password = Edit16->text();
    s.tls = CheckBox1->isChecked();
    s.pinnedKey = s.tls ? ftpPinnedKey : QString();
    s.passive = CheckBox2->isChecked();
    // What the file would make of them: a bad port is 21, an empty path the default one.
    const FtpSettings read = FtpSettings::fromLines(
        {QString(), QString(), QString(), QString(), QString(), QString(), QString(),
         Edit17->text(), Edit18->text()});
    s.port = read.port;
    s.remotePath = read.remotePath;
    return s;
}

void TForm1::showFtpSettings(const FtpSettings &s)
{
    CheckBox1->setChecked(s.tls);
    ftpPinnedKey = s.pinnedKey;
    CheckBox2->setChecked(s.passive);
    Edit17->setText(QString::number(s.port));
    Edit18->setText(s.remotePath);
}

void TForm1::RadioButton16Click()
{
    Edit14->clear();
    Edit15->clear();
    Edit16->clear();
    showFtpSettings(FtpSettings{});
    CheckBox2->setChecked(true); // the next setting is a new one: passive
    if (!saveFtpOptions({QStringLiteral("0")})) {
        restoreFtpOption(RadioButton15);
        return;
    }
    ftpStoredLines.clear();
    ftpCheckFailed = false;
    logAct(QStringLiteral("FTP"), QStringLiteral("FTP pristup iskljucen"));
}

bool TForm1::ftpSettingsChanged() const
{
    return RadioButton15->isChecked() && typedFtpSettings().toLines() != ftpStoredLines;
}

void TForm1::leaveFtpSettings()
{
    if (!ftpSettingsChanged())
        return;
    if (ftpCheckFailed &&
        !dialogs.confirm(QStringLiteral("Provera veze sa promenjenim FTP podesavanjima nije "
                                        "uspela. Da li da ih ipak sacuvam? (Ne: ostaju "
                                        "prethodna podesavanja)"))) {
        ftpCheckFailed = false;
        return;
    }
    RadioButton15Click(); // stores the boxes, or says why it cannot
    // A value the file cannot hold leaves the upload as the file has it: on, as before.
    if (!RadioButton15->isChecked())
        restoreFtpOption(RadioButton15);
}

void TForm1::logAct(const QString &act, const QString &details)
{
    // An act that was done stays done; a log that cannot be written is said, not hidden.
    // The journal of its own session: the window's tables stay open as they are.
    if (const QString e = desk::inJournalOf(startDir, [&](engine::Table &journal) {
            desk::chain::logOwn(journal, currentUser, act, details);
        });
        !e.isEmpty())
        dialogs.message(QStringLiteral("Dnevnik radnji nije upisan: ") + e);
}

bool TForm1::saveFtpOptions(const QStringList &lines)
{
    const QString path = backup_files::ftpOptionFile(startDir);
    QString reason;
    if (platform::saveLines(path, lines, &reason, OptionFilePermissions))
        return true;
    dialogs.message(QStringLiteral("Cannot create file \"%1\". %2").arg(path, reason));
    return false;
}

void TForm1::restoreFtpOption(QRadioButton *option)
{
    // The option file was kept: the page shows the option it still holds, without running
    // that option's handler.
    const QSignalBlocker on(RadioButton15);
    const QSignalBlocker off(RadioButton16);
    option->setChecked(true);
}
