// The real dialogs seam: Qt message boxes and input dialogs over the active window.
#include "QtDialogs.h"

#include <QApplication>
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
    bool ok = false;
    const QString text = QInputDialog::getText(ownerOf(parent_), caption, label,
                                               QLineEdit::Normal, initial, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

std::optional<QString> QtDialogs::password(const QString &caption, const QString &label)
{
    bool ok = false;
    const QString text = QInputDialog::getText(ownerOf(parent_), caption, label,
                                               QLineEdit::Password, QString(), &ok);
    if (!ok)
        return std::nullopt;
    return text;
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
