// FtpOptionBox: the FTP frame's controls, the option file read and written, and what PROVERI
// VEZU's outcome means for the stored settings.
#include "FtpOptionBox.h"

#include "BackupFiles.h"
#include "FtpCheck.h"
#include "FtpSettings.h"
#include "PageContext.h"
#include "PageHost.h"
#include "UiHelpers.h"

#include "ftp/Ftp.h"
#include "platform/Dialogs.h"
#include "platform/TextFiles.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

// The option file holds the FTP password: owner only.
constexpr QFileDevice::Permissions OptionFilePermissions =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner;

} // namespace

FtpOptionBox::FtpOptionBox(PageContext &context, QWidget *page)
    : m_context(context), dialogs(context.dialogs)
{
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
    connect(BitBtn30, &QPushButton::clicked, this, &FtpOptionBox::BitBtn30Click);
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
    ftpOptions = new QButtonGroup(GroupBoxFtp);
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
}

std::optional<QStringList> FtpOptionBox::loadOptionLines(const QString &startDir,
                                                         platform::Dialogs &dialogs)
{
    const QString path = backup_files::ftpOptionFile(startDir);
    QString reason;
    std::optional<QStringList> lines = platform::loadLines(path, &reason);
    if (!lines)
        dialogs.message(QStringLiteral("Cannot open file \"%1\". %2").arg(path, reason));
    return lines;
}

void FtpOptionBox::showMissingLine(platform::Dialogs &dialogs, qsizetype index)
{
    dialogs.message(QStringLiteral("List index out of bounds (%1)").arg(index));
}

void FtpOptionBox::loadFtpOptions()
{
    const std::optional<QStringList> lines =
        loadOptionLines(m_context.window.startDirectory(), dialogs);
    if (!lines)
        return;
    // Reading a line the file lacks fails with the list's error, after the lines before it
    // have been used; the options then stay as they were.
    const auto line = [&](int index) -> std::optional<QString> {
        if (index < lines->size())
            return lines->at(index);
        showMissingLine(dialogs, index);
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

void FtpOptionBox::RadioButton15Click()
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
    m_context.window.logAct(QStringLiteral("FTP"),
                            QStringLiteral("FTP pristup ukljucen: server %1, korisnik %2")
                                .arg(Edit14->text(), Edit15->text()));
}

FtpSettings FtpOptionBox::typedFtpSettings() const
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

void FtpOptionBox::showFtpSettings(const FtpSettings &s)
{
    CheckBox1->setChecked(s.tls);
    ftpPinnedKey = s.pinnedKey;
    CheckBox2->setChecked(s.passive);
    Edit17->setText(QString::number(s.port));
    Edit18->setText(s.remotePath);
}

void FtpOptionBox::RadioButton16Click()
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
    m_context.window.logAct(QStringLiteral("FTP"), QStringLiteral("FTP pristup iskljucen"));
}

bool FtpOptionBox::ftpSettingsChanged() const
{
    return RadioButton15->isChecked() && typedFtpSettings().toLines() != ftpStoredLines;
}

void FtpOptionBox::leaveFtpSettings()
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

bool FtpOptionBox::saveFtpOptions(const QStringList &lines)
{
    const QString path = backup_files::ftpOptionFile(m_context.window.startDirectory());
    QString reason;
    if (platform::saveLines(path, lines, &reason, OptionFilePermissions))
        return true;
    dialogs.message(QStringLiteral("Cannot create file \"%1\". %2").arg(path, reason));
    return false;
}

void FtpOptionBox::restoreFtpOption(QRadioButton *option)
{
    // The option file was kept: the page shows the option it still holds, without running
    // that option's handler.
    const QSignalBlocker on(RadioButton15);
    const QSignalBlocker off(RadioButton16);
    option->setChecked(true);
}

// A server whose certificate is not trusted shows its key fingerprint; when the administrator
// answers Yes to "Da li verujete ovom serveru?" that key is trusted from then on (and stored at
// once when the upload is switched on).
void FtpOptionBox::BitBtn30Click()
{
    const FtpSettings typed = typedFtpSettings();
    BitBtn30->setEnabled(false);
    const FtpCheck::Outcome check = FtpCheck::run(typed, m_context.window.uploadFtp().Port, dialogs);
    BitBtn30->setEnabled(true);

    if (check.loggedIn && !check.folderText.isEmpty()) {
        ftpCheckFailed = true; // the upload would fail with these settings as well
        dialogs.message(check.folderText);
        return;
    }
    if (check.loggedIn) {
        // Settings changed while the upload is on are stored once they have proved to work.
        const bool changed = ftpSettingsChanged();
        if (changed) {
            RadioButton15Click();
            if (!RadioButton15->isChecked())
                restoreFtpOption(RadioButton15); // not stored: the file keeps the upload on
        }
        const QString stored = changed && !ftpSettingsChanged()
                                   ? QStringLiteral("\nPodesavanja su sacuvana.")
                                   : QString();
        const QString made = check.folderMade
                                 ? QStringLiteral("\nFolder %1 je napravljen.").arg(check.folder)
                                 : QString();
        dialogs.message((check.tlsActive
                             ? QStringLiteral("Veza je uspesna. Podaci se prenose sifrovano (%1).")
                                   .arg(check.tlsProtocol)
                             : QStringLiteral("Veza je uspesna. Podaci se prenose nesifrovano.")) +
                        made + stored);
        return;
    }
    ftpCheckFailed = true; // leaving the page asks before storing what failed here
    if (check.error != ftp::errTlsUntrusted) {
        dialogs.message(FtpCheck::failureText(check));
        return;
    }
    const QString key = check.fingerprint;
    dialogs.message(QStringLiteral("Sertifikat servera nije potvrden. Otisak kljuca servera:\n%1")
                        .arg(key));
    if (key.isEmpty() || !dialogs.confirm(QStringLiteral("Da li verujete ovom serveru?")))
        return;
    ftpPinnedKey = key;
    if (RadioButton15->isChecked())
        RadioButton15Click(); // the option file keeps the key as its sixth line
    dialogs.message(QStringLiteral("Server je zapamcen kao poverljiv."));
}
