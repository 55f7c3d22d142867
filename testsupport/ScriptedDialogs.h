#pragma once

// Dialogs for tests, answered from a script, that record what was shown.

#include "platform/Dialogs.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <optional>

namespace platform {

// The dialogs of the windows' tests: answers come from a script given beforehand, and
// everything shown is recorded in order. A question that the script does not answer is
// answered No / Cancel and recorded in `unanswered`, so a test can fail on it.
class ScriptedDialogs final : public Dialogs
{
public:
    enum class Kind { Message, Confirm, Prompt, Password, Progress };
    struct Shown
    {
        Kind kind;
        QString text;
    };

    void message(const QString &text) override
    {
        shown.append({Kind::Message, text});
        if (onMessage)
            onMessage(text);
    }
    bool confirm(const QString &question) override
    {
        shown.append({Kind::Confirm, question});
        if (confirmAnswers.empty()) {
            unanswered.append(question);
            return false;
        }
        const bool yes = confirmAnswers.front();
        confirmAnswers.pop_front();
        return yes;
    }
    std::optional<QString> prompt(const QString &caption, const QString &label,
                                  const QString &) override
    {
        shown.append({Kind::Prompt, caption + QLatin1Char('|') + label});
        return take(caption);
    }
    std::optional<QString> password(const QString &caption, const QString &label) override
    {
        shown.append({Kind::Password, caption + QLatin1Char('|') + label});
        return take(caption);
    }

    void progress(const QString &step) override
    {
        if (!step.isEmpty())
            shown.append({Kind::Progress, step});
        if (onProgress)
            onProgress(step);
    }

    // Script.
    void answerYes() { confirmAnswers.push_back(true); }
    void answerNo() { confirmAnswers.push_back(false); }
    void answerText(const std::optional<QString> &text) { textAnswers.push_back(text); }

    // What was shown.
    QStringList messages() const { return texts(Kind::Message); }
    QStringList questions() const { return texts(Kind::Confirm); }
    QStringList steps() const { return texts(Kind::Progress); }
    void clear() { shown.clear(); unanswered.clear(); }

    QList<Shown> shown;
    QStringList unanswered;
    std::deque<bool> confirmAnswers;
    std::deque<std::optional<QString>> textAnswers; // nullopt: Cancel
    std::function<void(const QString &)> onMessage;
    std::function<void(const QString &)> onProgress; // also "" when the dialog closes

private:
    std::optional<QString> take(const QString &caption)
    {
        if (textAnswers.empty()) {
            unanswered.append(caption);
            return std::nullopt;
        }
        const std::optional<QString> answer = textAnswers.front();
        textAnswers.pop_front();
        return answer;
    }
    QStringList texts(Kind kind) const
    {
        QStringList out;
        for (const Shown &s : shown)
            if (s.kind == kind)
                out.append(s.text);
        return out;
    }
};

} // namespace platform
