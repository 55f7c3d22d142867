#pragma once

// FtpOptionBox: the FTP option of the backup page ("Ukljucivanje opcije za FTP pristup"): the
// pair of options that switches the upload of the journal export on and off, the server, user
// name, password, port, remote path, passive mode and "Sifrovana veza (FTPS)" boxes, and
// "PROVERI VEZU" (an FtpCheck). The option file "podaci\ftpop.txt" is replaced atomically and is
// readable and writable by its owner only; switching the upload on stores the boxes, off
// stores "0". With the upload on, changed settings that log in are stored at once; leaving the
// page stores changed settings, after a failed check only when the administrator says so.

#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

struct FtpSettings;
struct PageContext;
class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

namespace platform {
class Dialogs;
}

class FtpOptionBox : public QObject
{
public:
    // Creates the frame on `page`; the upload starts off and nothing is written.
    FtpOptionBox(PageContext &context, QWidget *page);

    // The option file's lines; nullopt (after showing the file error) when unreadable.
    static std::optional<QStringList> loadOptionLines(const QString &startDir,
                                                      platform::Dialogs &dialogs);
    // The error of reading a line the option file lacks.
    static void showMissingLine(platform::Dialogs &dialogs, qsizetype index);

    // The boxes and the option as the option file holds them.
    void loadFtpOptions();
    void RadioButton15Click(); // Ukljucen FTP pristup
    void RadioButton16Click(); // Iskljucen FTP pristup
    void BitBtn30Click();      // PROVERI VEZU
    // Leaving the backup page: changed settings are stored; after a failed check only when the
    // administrator says so.
    void leaveFtpSettings();

private:
    // Writes the option file; false (after showing the reason) when it was kept as it was.
    bool saveFtpOptions(const QStringList &lines);
    // The frame's boxes as settings, and settings into the boxes.
    FtpSettings typedFtpSettings() const;
    void showFtpSettings(const FtpSettings &settings);
    // The page shows `option` without running its handler: the option file was kept.
    void restoreFtpOption(QRadioButton *option);
    // Whether the upload is on and the boxes hold settings the option file does not.
    bool ftpSettingsChanged() const;

    PageContext &m_context;
    platform::Dialogs &dialogs;

    QGroupBox *GroupBoxFtp = nullptr;
    QRadioButton *RadioButton15 = nullptr; // Ukljucen FTP pristup
    QRadioButton *RadioButton16 = nullptr; // Iskljucen FTP pristup
    QButtonGroup *ftpOptions = nullptr;
    QLineEdit *Edit14 = nullptr;  // Sever:
    QLineEdit *Edit15 = nullptr;  // Username:
    QLineEdit *Edit16 = nullptr;  // Password:
    QCheckBox *CheckBox1 = nullptr; // Sifrovana veza (FTPS)
    QCheckBox *CheckBox2 = nullptr; // Pasivni rezim
    QLineEdit *Edit17 = nullptr;  // Port:
    QLineEdit *Edit18 = nullptr;  // Putanja: (the remote path)
    QPushButton *BitBtn30 = nullptr; // PROVERI VEZU
    // The server key trusted for the encrypted upload (the option file's sixth line).
    QString ftpPinnedKey;
    // What the option file holds while the upload is on, as the boxes would write it: the
    // boxes differ from it when changed and not yet stored.
    QStringList ftpStoredLines;
    // PROVERI VEZU failed with the boxes' settings, and they have not been stored since.
    bool ftpCheckFailed = false;
};
