// DeskSettingsBox: the desk settings' controls, their loading and saving, the firm and paper,
// the off-site set-up and the import of an NBS exchange rate list.
#include "DeskSettingsBox.h"

#include "OpenTables.h"
#include "PageContext.h"
#include "PageHost.h"
#include "UiHelpers.h"

#include "desk/DeskSettings.h"
#include "desk/Rates.h"
#include "desk/Offsite.h"
#include "desk/SealedBackup.h"
#include "engine/EngineError.h"
#include "engine/Session.h"
#include "engine/Table.h"
#include "platform/Dialogs.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

DeskSettingsBox::DeskSettingsBox(PageContext &context, QWidget *page,
                                 std::function<void()> offsiteChanged)
    : m_context(context), dialogs(context.dialogs), offsiteChanged(std::move(offsiteChanged))
{
    GroupBoxSettings = named(new QGroupBox(QStringLiteral("POSTAVKE BLAGAJNE"), page),
                             "GroupBoxSettings");
    GroupBoxSettings->setGeometry(360, 292, 336, 120);
    auto *dinars = new QLabel(QStringLiteral("Maksimum DIN"), GroupBoxSettings);
    dinars->setGeometry(8, 24, 98, 20);
    EditLimitDin = named(new QLineEdit(GroupBoxSettings), "EditLimitDin");
    EditLimitDin->setGeometry(106, 20, 86, 26);
    auto *euros = new QLabel(QStringLiteral("EUR"), GroupBoxSettings);
    euros->setGeometry(200, 24, 30, 20);
    EditLimitEur = named(new QLineEdit(GroupBoxSettings), "EditLimitEur");
    EditLimitEur->setGeometry(232, 20, 92, 26);
    CheckBlindCount = named(new QCheckBox(QStringLiteral("Slepi popis"), GroupBoxSettings),
                            "CheckBlindCount");
    CheckBlindCount->setGeometry(12, 50, 170, 20);
    CheckVoucherAfter = named(new QCheckBox(QStringLiteral("Nalog posle knjizenja"), GroupBoxSettings),
                              "CheckVoucherAfter");
    CheckVoucherAfter->setGeometry(12, 72, 170, 20);
    SaveSettings = named(new QPushButton(QStringLiteral("SNIMI POSTAVKE"), GroupBoxSettings),
                         "SaveSettings");
    SaveSettings->setFont(uiFont(9, true));
    SaveSettings->setGeometry(190, 50, 134, 20);
    connect(SaveSettings, &QPushButton::clicked, this, &DeskSettingsBox::SaveSettingsClick);
    BitBtnFirm = named(new QPushButton(QStringLiteral("FIRMA I PAPIR"), GroupBoxSettings),
                       "BitBtnFirm");
    BitBtnFirm->setFont(uiFont(9, true));
    BitBtnFirm->setGeometry(190, 72, 134, 20);
    connect(BitBtnFirm, &QPushButton::clicked, this, &DeskSettingsBox::BitBtnFirmClick);
    BitBtnRates = named(new QPushButton(QStringLiteral("UVEZI KURSNU LISTU"), GroupBoxSettings),
                        "BitBtnRates");
    BitBtnRates->setFont(uiFont(8, true));
    BitBtnRates->setGeometry(190, 94, 134, 20);
    connect(BitBtnRates, &QPushButton::clicked, this, &DeskSettingsBox::BitBtnRatesClick);

    BitBtnOffsite = named(new QPushButton(QStringLiteral("VAN LOKACIJE"), page), "BitBtnOffsite");
    BitBtnOffsite->setFont(uiFont(9, true));
    BitBtnOffsite->setGeometry(224, 440, 112, 40);
    connect(BitBtnOffsite, &QPushButton::clicked, this, &DeskSettingsBox::BitBtnOffsiteClick);
}

void DeskSettingsBox::loadDeskSettings()
{
    try {
        OpenTables tables(m_context.session, {m_context.journal});
        const desk::settings::Shared shared = desk::settings::read(*m_context.journal);
        EditLimitDin->setText(shared.limitDinars.toText());
        EditLimitEur->setText(shared.limitEuros.toText());
        CheckBlindCount->setChecked(shared.blindCount);
        CheckVoucherAfter->setChecked(shared.voucherAfterPosting);
    } catch (const engine::EngineError &) {
        // The page serves also a journal that is missing or damaged (to restore it): the
        // settings then stay empty, and saving them says why they cannot be saved.
        EditLimitDin->clear();
        EditLimitEur->clear();
    }
}

void DeskSettingsBox::SaveSettingsClick()
{
    desk::settings::Shared shared; // the limits and the choices of the box; the rest as stored
    const auto limit = [this](QLineEdit *edit, engine::Money &into, const char *currency) {
        const QString text = edit->text().trimmed();
        const std::optional<engine::Money> m =
            text.isEmpty() ? std::optional<engine::Money>(engine::Money()) : engine::Money::tryParse(text);
        if (!m || *m < engine::Money()) {
            dialogs.message(QStringLiteral("Blagajnicki maksimum %1 nije ispravan iznos: \"%2\" "
                                           "(0 znaci bez maksimuma)")
                                .arg(QLatin1String(currency), text));
            return false;
        }
        into = *m;
        return true;
    };
    if (!limit(EditLimitDin, shared.limitDinars, "DIN") || !limit(EditLimitEur, shared.limitEuros, "EUR"))
        return;
    try {
        OpenTables tables(m_context.session, {m_context.journal});
        const desk::settings::Shared limits = shared;
        shared = desk::settings::read(*m_context.journal);
        shared.limitDinars = limits.limitDinars;
        shared.limitEuros = limits.limitEuros;
        shared.blindCount = CheckBlindCount->isChecked();
        shared.voucherAfterPosting = CheckVoucherAfter->isChecked();
        desk::settings::write(*m_context.journal, shared, m_context.window.currentUserName());
    } catch (const engine::EngineError &e) {
        dialogs.message(e.message());
        return;
    }
    dialogs.message(QStringLiteral("Postavke su snimljene"));
    loadDeskSettings();
}

// Asks for the firm's name, its address, PIB and MB (empty: none) and the paper, each with what
// is stored now; a cancelled question changes nothing, a wrong PIB or MB is refused with its
// reason and nothing is stored.
void DeskSettingsBox::BitBtnFirmClick()
{
    const QString caption = QStringLiteral("FIRMA I PAPIR");
    desk::settings::Shared shared;
    try {
        OpenTables tables(m_context.session, {m_context.journal});
        shared = desk::settings::read(*m_context.journal);
    } catch (const engine::EngineError &e) {
        dialogs.message(e.message());
        return;
    }
    const struct
    {
        const char *label;
        QString *value;
    } questions[] = {
        {"Naziv firme:", &shared.firmName},
        {"Adresa:", &shared.firmAddress},
        {"PIB (9 cifara):", &shared.pib},
        {"MB (8 cifara):", &shared.mb},
    };
    for (const auto &q : questions) {
        const std::optional<QString> answer =
            dialogs.prompt(caption, QString::fromLatin1(q.label), *q.value);
        if (!answer)
            return;
        *q.value = answer->trimmed();
    }
    const std::optional<QString> paper = dialogs.prompt(
        caption, QStringLiteral("Papir (A4 ili Letter):"), desk::settings::paperName(shared.paper));
    if (!paper)
        return;
    const std::optional<desk::settings::Paper> chosen = desk::settings::paperNamed(paper->trimmed());
    if (!chosen) {
        dialogs.message(QStringLiteral("Firma NIJE snimljena: papir je A4 ili Letter, ne \"%1\"")
                            .arg(paper->trimmed()));
        return;
    }
    shared.paper = *chosen;
    try {
        OpenTables tables(m_context.session, {m_context.journal});
        desk::settings::write(*m_context.journal, shared, m_context.window.currentUserName());
    } catch (const engine::EngineError &e) {
        dialogs.message(QStringLiteral("Firma NIJE snimljena: ") + e.message());
        return;
    }
    dialogs.message(QStringLiteral("Firma i papir su snimljeni"));
}

// Asks where the off-site copies go (a folder: a USB or network disk; and/or the FTP upload's
// server) and, while the data directory has no backup key, for the recovery text of a key
// brought from another computer (empty: a new key). Then sets them up and shows a new key's
// recovery text once, to be written down. A cancelled question or a refused set-up leaves the
// settings and the key as they were.
void DeskSettingsBox::BitBtnOffsiteClick()
{
    const QString caption = QStringLiteral("KOPIJA VAN LOKACIJE");
    const QString startDir = m_context.window.startDirectory();
    const desk::offsite::Settings current = desk::offsite::settings(startDir);
    const std::optional<QString> folder = dialogs.prompt(
        caption, QStringLiteral("Fascikla za kopije (USB ili mrezni disk; prazno: bez fascikle):"),
        current.folder);
    if (!folder)
        return;
    desk::offsite::Settings wanted;
    wanted.folder = folder->trimmed();
    if (!wanted.folder.isEmpty())
        wanted.folder = QDir(startDir).absoluteFilePath(wanted.folder);
    wanted.ftp = dialogs.confirm(QStringLiteral(
        "Slati kopije i na FTP server iz podesavanja FTP-a (fascikla dorvanta-rezerva)?"));
    if (!wanted.any()) {
        dialogs.message(QStringLiteral("Kopija van lokacije NIJE podesena: "
                                       "nije data ni fascikla ni FTP server"));
        return;
    }
    const bool hadKey = desk::offsite::hasKey(startDir);
    QByteArray given;
    if (!hadKey) {
        const std::optional<QString> text = dialogs.prompt(
            caption, QStringLiteral("Kljuc rezerve sa drugog racunara (prazno: novi kljuc):"),
            QString());
        if (!text)
            return;
        try {
            if (!text->trimmed().isEmpty())
                given = desk::sealed::keyFromRecoveryText(*text);
        } catch (const engine::EngineError &e) {
            dialogs.message(QStringLiteral("Kopija van lokacije NIJE podesena: ") + e.message());
            return;
        }
    }
    QString recovery;
    QStringList labels;
    try {
        const platform::ProgressShown busy(dialogs, QStringLiteral("Podesavanje kopija van lokacije..."));
        recovery = desk::offsite::init(startDir, wanted, given);
        for (const auto &target : desk::offsite::targets(startDir, desk::offsite::settings(startDir)))
            labels << target->label();
    } catch (const engine::EngineError &e) {
        dialogs.message(QStringLiteral("Kopija van lokacije NIJE podesena: ") + e.message());
        offsiteChanged();
        return;
    }
    QString text = QStringLiteral("Kopije van lokacije: ") + labels.join(QStringLiteral(", "));
    if (hadKey || !given.isEmpty())
        text += QStringLiteral("\nKopije se sifruju postojecim kljucem rezerve.");
    else
        text += QStringLiteral("\n\nKljuc rezerve (zapisite ga i cuvajte van radnje; bez njega "
                               "se kopija ne moze vratiti):\n\n") + recovery;
    dialogs.message(text);
    offsiteChanged();
}

// Asks for the file of an NBS list, reads it (a file that is no such list is refused, naming
// the place, and nothing is stored), asks before a rate already stored is changed, and stores
// its rates.
void DeskSettingsBox::BitBtnRatesClick()
{
    const QString caption = QStringLiteral("KURSNA LISTA NBS");
    const QString startDir = m_context.window.startDirectory();
    const std::optional<QString> path = dialogs.prompt(
        caption, QStringLiteral("Datoteka kursne liste NBS (XML, srednji kurs):"), QString());
    if (!path || path->trimmed().isEmpty())
        return;
    QFile file(QDir(startDir).absoluteFilePath(path->trimmed()));
    if (!file.open(QIODevice::ReadOnly)) {
        dialogs.message(QStringLiteral("Kursna lista nije procitana: %1: %2")
                            .arg(file.fileName(), file.errorString()));
        return;
    }
    try {
        const desk::rates::RateList list = desk::rates::parseList(file.read(4 * 1024 * 1024));
        OpenTables tables(m_context.session, {m_context.journal});
        const QList<desk::rates::Change> changes = desk::rates::changes(*m_context.journal, list.rates);
        if (!changes.isEmpty()) {
            QStringList lines;
            for (const desk::rates::Change &c : changes)
                lines << c.text();
            if (!dialogs.confirm(QStringLiteral("Lista menja vec snimljene kurseve:\n") +
                                 lines.join(QLatin1Char('\n')) +
                                 QStringLiteral("\nDa li ste sigurni?"))) {
                dialogs.message(QStringLiteral("Kursna lista NIJE uvezena"));
                return;
            }
        }
        const desk::rates::Stored stored =
            desk::rates::store(*m_context.journal, list.rates, m_context.window.currentUserName(), true);
        QString euro;
        for (const desk::rates::Rate &r : list.rates) {
            if (r.currency == desk::rates::Euro)
                euro = QStringLiteral("\nEUR: ") + desk::rates::rateText(r.millionths);
        }
        dialogs.message(QStringLiteral("Kursna lista br. %1 od %2 je uvezena: novih kurseva %3, "
                                       "promenjenih %4, istih %5")
                            .arg(list.number, desk::rates::dayText(list.date))
                            .arg(stored.added)
                            .arg(stored.changed)
                            .arg(stored.same) +
                        euro);
    } catch (const engine::EngineError &e) {
        dialogs.message(e.message());
    }
}
