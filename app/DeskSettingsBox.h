#pragma once

// DeskSettingsBox: the desk settings every desk of the journal shares (desk/DeskSettings.h), in
// the group box POSTAVKE BLAGAJNE of the backup and settings page: the cash limit per currency,
// the blind count, the voucher right after each posting, "FIRMA I PAPIR" for the firm and the
// paper of the printouts, and "UVEZI KURSNU LISTU", the import of an NBS exchange rate list
// (desk/Rates.h). Beside the box, "VAN LOKACIJE" sets the off-site copies up (desk/Offsite.h):
// where they go and the key they are sealed with.

#include <QObject>

#include <functional>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QWidget;
struct PageContext;

namespace platform {
class Dialogs;
}

class DeskSettingsBox : public QObject
{
public:
    // Creates the box and "VAN LOKACIJE" on `page`; `offsiteChanged` runs after an off-site
    // set-up was tried, whatever its outcome.
    DeskSettingsBox(PageContext &context, QWidget *page, std::function<void()> offsiteChanged);

    // The boxes as the journal holds the settings; empty when it cannot be read.
    void loadDeskSettings();
    void SaveSettingsClick();  // SNIMI POSTAVKE
    void BitBtnFirmClick();    // FIRMA I PAPIR
    void BitBtnOffsiteClick(); // VAN LOKACIJE
    void BitBtnRatesClick();   // UVEZI KURSNU LISTU

private:
    PageContext &m_context;
    platform::Dialogs &dialogs;
    std::function<void()> offsiteChanged;

    QGroupBox *GroupBoxSettings = nullptr;  // POSTAVKE BLAGAJNE
    QLineEdit *EditLimitDin = nullptr;      // the cash limit in dinars (0: none)
    QLineEdit *EditLimitEur = nullptr;      // ... in euros
    QCheckBox *CheckBlindCount = nullptr;   // Slepi popis
    QCheckBox *CheckVoucherAfter = nullptr; // Nalog posle knjizenja
    QPushButton *SaveSettings = nullptr;    // SNIMI POSTAVKE
    QPushButton *BitBtnFirm = nullptr;      // FIRMA I PAPIR
    QPushButton *BitBtnRates = nullptr;     // UVEZI KURSNU LISTU
    QPushButton *BitBtnOffsite = nullptr;   // VAN LOKACIJE
};
