#pragma once

// The system's date and number settings the program follows.

#include <QChar>
#include <QDate>
#include <QString>

namespace platform {

// The date and number settings of the system the program depends on.
class SystemSettings
{
public:
    virtual ~SystemSettings() = default;
    // The short date form as the system gives it, e.g. "dd/MM/yyyy".
    virtual QString shortDateFormat() const = 0;
    // The character that every "/" of the short date form stands for.
    virtual QChar dateSeparator() const = 0;
    virtual QChar decimalSeparator() const = 0;
};

// Reads the settings from QLocale::system(), which follows LC_TIME and LC_NUMERIC.
class LocaleSettings final : public SystemSettings
{
public:
    QString shortDateFormat() const override;
    QChar dateSeparator() const override;
    QChar decimalSeparator() const override;
};

// Today's date (or any date) written with the short form, in which every "/" stands for
// the date separator.
QString formatShortDate(const SystemSettings &settings, const QDate &date);

} // namespace platform
