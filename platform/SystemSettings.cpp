// The system's date and number settings, read from QLocale::system().
#include "SystemSettings.h"

#include <QDate>
#include <QLocale>

namespace platform {

QString LocaleSettings::shortDateFormat() const
{
    return QLocale::system().dateFormat(QLocale::ShortFormat);
}

QChar LocaleSettings::dateSeparator() const
{
    // Qt has no separate date separator: the form carries the separator itself, so the
    // first character of the form that is not a date letter is taken.
    const QString form = shortDateFormat();
    for (const QChar c : form) {
        if (!c.isLetter() && c != u'\'')
            return c;
    }
    return u'/';
}

QChar LocaleSettings::decimalSeparator() const
{
    const QString point = QLocale::system().decimalPoint();
    return point.isEmpty() ? QChar(u'.') : point.front();
}

QString formatShortDate(const SystemSettings &settings, const QDate &date)
{
    QString form = settings.shortDateFormat();
    form.replace(u'/', settings.dateSeparator());
    return QLocale::c().toString(date, form);
}

} // namespace platform
