// The real dialogs seam: Qt message boxes and input dialogs over the active window.
#include "QtDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QFontMetrics>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace platform {

namespace {
QWidget *ownerOf(QWidget *parent)
{
    return parent ? parent : QApplication::activeWindow();
}

// An input dialog wide enough that the window manager shows its caption whole in the title
// bar beside its buttons (a narrow one cuts "NOVA BAZA PODATAKA" short).
std::optional<QString> askText(QWidget *owner, const QString &caption, const QString &label,
                               QLineEdit::EchoMode echo, const QString &initial)
{
    QInputDialog dialog(owner);
    dialog.setWindowTitle(caption);
    dialog.setLabelText(label);
    dialog.setTextEchoMode(echo);
    dialog.setTextValue(initial);
    QFont titleFont = dialog.font();
    titleFont.setBold(true);
    dialog.setMinimumWidth(captionWidth(caption, titleFont));
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}
} // namespace

void QtDialogs::message(const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Dorvanta"), text, QMessageBox::Ok,
                    ownerOf(parent_));
    box.exec();
}

bool QtDialogs::confirm(const QString &question)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), question,
                    QMessageBox::Yes | QMessageBox::No, ownerOf(parent_));
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

bool QtDialogs::confirmWithButtons(const QString &question, const QString &yesText,
                                   const QString &noText)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Dorvanta"), question,
                    QMessageBox::Yes | QMessageBox::No, ownerOf(parent_));
    box.button(QMessageBox::Yes)->setText(yesText);
    box.button(QMessageBox::No)->setText(noText);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

std::optional<QString> QtDialogs::prompt(const QString &caption, const QString &label,
                                         const QString &initial)
{
    return askText(ownerOf(parent_), caption, label, QLineEdit::Normal, initial);
}

std::optional<QString> QtDialogs::password(const QString &caption, const QString &label)
{
    return askText(ownerOf(parent_), caption, label, QLineEdit::Password, QString());
}

int captionWidth(const QString &caption, const QFont &titleFont)
{
    // The caption at the title bar's (bold) font, and room for the window manager's icon and
    // its three buttons.
    constexpr int TitleBarButtons = 160;
    return QFontMetrics(titleFont).horizontalAdvance(caption) * 5 / 4 + TitleBarButtons;
}

void serbianSaveLabels(QFileDialog &dialog)
{
    dialog.setOption(QFileDialog::DontUseNativeDialog); // labels of its own only without one
    dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("Folder:"));
    dialog.setLabelText(QFileDialog::FileName, QStringLiteral("Naziv fajla:"));
    dialog.setLabelText(QFileDialog::FileType, QStringLiteral("Vrsta fajla:"));
    dialog.setLabelText(QFileDialog::Accept, QStringLiteral("Snimi"));
    dialog.setLabelText(QFileDialog::Reject, QStringLiteral("Odustani"));
}

void QtDialogs::progress(const QString &step)
{
    if (step.isEmpty()) {
        delete progress_;
        return;
    }
    if (!progress_) {
        progress_ = new QProgressDialog(ownerOf(parent_));
        progress_->setWindowModality(Qt::WindowModal);
        progress_->setCancelButton(nullptr);
        progress_->setRange(0, 0); // busy: the work does not know its length
        progress_->setMinimumDuration(0);
        progress_->setAutoClose(false);
        progress_->setAutoReset(false);
    }
    progress_->setLabelText(step);
    progress_->show();
    // Painted now: the work that follows holds the event loop.
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace platform
