#pragma once

// The questions and messages the windows put to the user, as an interface.

#include <QString>
#include <QtGlobal>

#include <optional>

namespace platform {

// Everything the windows ask the user goes through this interface, so that the windows'
// tests can answer from a script and see what was shown. The real implementation wraps
// Qt's dialogs; every call blocks until the user has answered (the event loop runs).
class Dialogs
{
public:
    virtual ~Dialogs() = default;

    // A plain message with an OK button.
    virtual void message(const QString &text) = 0;
    // A question with the buttons Yes and No; true only for Yes.
    virtual bool confirm(const QString &question) = 0;
    // The same question with the buttons named by the caller (Yes first); true only for Yes.
    // Dialogs that show no buttons answer it as confirm().
    virtual bool confirmWithButtons(const QString &question, const QString &yesText,
                                    const QString &noText)
    {
        Q_UNUSED(yesText);
        Q_UNUSED(noText);
        return confirm(question);
    }
    // A one-line text prompt; nullopt when cancelled.
    virtual std::optional<QString> prompt(const QString &caption, const QString &label,
                                          const QString &initial = {}) = 0;
    // A masked password prompt with OK and Cancel; nullopt when cancelled.
    virtual std::optional<QString> password(const QString &caption, const QString &label) = 0;
    // Long work in the window: shows `step` in a progress dialog (no buttons) until the next
    // step or an empty one, which closes it. Shown at once, before the work starts.
    virtual void progress(const QString &step) { Q_UNUSED(step); }
};

// A progress dialog showing `step` for the life of this object.
class ProgressShown
{
public:
    ProgressShown(Dialogs &dialogs, const QString &step) : m_dialogs(dialogs) { dialogs.progress(step); }
    ~ProgressShown() { m_dialogs.progress({}); }
    ProgressShown(const ProgressShown &) = delete;
    ProgressShown &operator=(const ProgressShown &) = delete;

private:
    Dialogs &m_dialogs;
};

} // namespace platform
