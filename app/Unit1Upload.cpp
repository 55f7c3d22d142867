// TForm1: the upload decision after every export (the FTP option file's lines, kept in the
// hidden ListBox6), the window's FTP component MFtp1 and its handlers, which hand the
// component's events to the window's upload object (ExportUpload.h), and the question before
// closing the window while an upload runs.
#include "Unit1.h"
#include "ExportUpload.h"
#include "ftp/Ftp.h"

#include "platform/Dialogs.h"

#include <QCloseEvent>
#include <QDir>
#include <QListWidget>
#include <QStackedWidget>

using namespace ftp;

void TForm1::buildUpload()
{
    ListBox6 = new QListWidget(Notebook1->widget(PagePosting));
    ListBox6->setObjectName(QStringLiteral("ListBox6"));
    ListBox6->hide();

    MFtp1 = new TMFtp(this);
    MFtp1->setObjectName(QStringLiteral("MFtp1"));
    MFtp1->OnFtpInfo = [this](TMFtp *sender, FtpInfo info, const QString &addinfo) {
        MFtp1FtpInfo(sender, info, addinfo);
    };
    MFtp1->OnFtpError = [this](TMFtp *sender, FtpError error, const QString &addinfo) {
        MFtp1FtpError(sender, error, addinfo);
    };
    MFtp1->OnLoggedIn = [this](TMFtp *sender) { MFtp1LoggedIn(sender); };
    MFtp1->OnFileStored = [this](TMFtp *sender) { MFtp1FileStored(sender); };
    MFtp1->OnFileRenamed = [this](TMFtp *sender) { MFtp1FileRenamed(sender); };
    MFtp1->OnFileDeleted = [this](TMFtp *sender) { MFtp1FileDeleted(sender); };

    exportUpload = new ExportUpload(*MFtp1, dialogs, this);
    connect(exportUpload, &ExportUpload::statusChanged, this, [this] { showStatusLine(); });
}

void TForm1::uploadDecision()
{
    exportUpload->forgetOutcome();
    ListBox6->clear();
    const std::optional<QStringList> lines = loadFtpOptionLines();
    if (!lines)
        return;
    ListBox6->addItems(*lines);
    if (lines->isEmpty()) {
        showMissingLine(0);
        return;
    }
    if (lines->at(0) != QLatin1String("1"))
        return;
    if (lines->size() < 4) {
        showMissingLine(lines->size());
        return;
    }
    exportUpload->decide(*lines, QDir(startDir).filePath(QStringLiteral("podaci.txt")));
}

void TForm1::MFtp1LoggedIn(TMFtp *) { exportUpload->loggedIn(); }

void TForm1::MFtp1FtpInfo(TMFtp *sender, FtpInfo info, const QString &addinfo)
{
    exportUpload->info(sender, info, addinfo);
}

void TForm1::MFtp1FtpError(TMFtp *sender, FtpError error, const QString &addinfo)
{
    exportUpload->error(sender, error, addinfo);
}

void TForm1::MFtp1FileStored(TMFtp *sender) { exportUpload->fileStored(sender); }

void TForm1::MFtp1FileRenamed(TMFtp *) { exportUpload->fileRenamed(); }

void TForm1::MFtp1FileDeleted(TMFtp *) { exportUpload->fileDeleted(); }

bool TForm1::uploadInProgress() const { return exportUpload->inProgress(); }

void TForm1::closeEvent(QCloseEvent *event)
{
    // Closing cuts the upload off: the server keeps no new export, only the temporary copy.
    if (uploadInProgress()
        && !dialogs.confirm(QStringLiteral("Podaci se upravo prenose na server. Ako sada "
                                           "zatvorite program, prenos se prekida.\n"
                                           "Zatvoriti program?"))) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}
