#pragma once

// The real dialogs behind platform::Dialogs, on Qt's message boxes and file dialogs.

#include "Dialogs.h"

#include <QPointer>
#include <QProgressDialog>

class QFileDialog;
class QFont;
class QWidget;

namespace platform {

// The width a dialog needs for the window manager to show `caption` whole in its title bar.
int captionWidth(const QString &caption, const QFont &titleFont);
// Serbian labels on a file dialog that saves (Qt's own dialog, which has them).
void serbianSaveLabels(QFileDialog &dialog);

// The real dialogs: Qt message boxes and input dialogs.
class QtDialogs final : public Dialogs
{
public:
    explicit QtDialogs(QWidget *parent = nullptr) : parent_(parent) {}
    void setParent(QWidget *parent) { parent_ = parent; }

    void message(const QString &text) override;
    bool confirm(const QString &question) override;
    bool confirmWithButtons(const QString &question, const QString &yesText,
                            const QString &noText) override;
    std::optional<QString> prompt(const QString &caption, const QString &label,
                                  const QString &initial) override;
    std::optional<QString> password(const QString &caption, const QString &label) override;
    void progress(const QString &step) override;

private:
    QWidget *parent_;
    QPointer<QProgressDialog> progress_;
};

} // namespace platform
