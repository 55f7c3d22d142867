// Serbian number words for the vouchers' "slovima:" line.
#include "AmountInWords.h"

#include "Posting.h"

#include <QStringList>

namespace desk {

namespace {

enum class Gender { Masculine, Feminine };

const char *const Units[] = {"",    "jedan", "dva",   "tri",   "cetiri",
                             "pet", "sest",  "sedam", "osam", "devet"};
const char *const Teens[] = {"deset",    "jedanaest",  "dvanaest",   "trinaest",  "cetrnaest",
                             "petnaest", "sesnaest",   "sedamnaest", "osamnaest", "devetnaest"};
const char *const Tens[] = {"",         "",          "dvadeset",   "trideset",  "cetrdeset",
                            "pedeset",  "sezdeset",  "sedamdeset", "osamdeset", "devedeset"};
const char *const Hundreds[] = {"",      "sto",   "dvesta",  "trista",  "cetiristo",
                                "petsto", "sesto", "sedamsto", "osamsto", "devetsto"};

// The words of 1..999; "jedna", "dve" for a feminine noun.
QStringList below1000(int n, Gender gender)
{
    QStringList words;
    if (n >= 100)
        words << QString::fromLatin1(Hundreds[n / 100]);
    const int rest = n % 100;
    if (rest >= 10 && rest < 20) {
        words << QString::fromLatin1(Teens[rest - 10]);
        return words;
    }
    if (rest >= 20)
        words << QString::fromLatin1(Tens[rest / 10]);
    const int unit = rest % 10;
    if (unit == 1 && gender == Gender::Feminine)
        words << QStringLiteral("jedna");
    else if (unit == 2 && gender == Gender::Feminine)
        words << QStringLiteral("dve");
    else if (unit > 0)
        words << QString::fromLatin1(Units[unit]);
    return words;
}

// Which form of a counted noun `n` asks for: 0 after 1 (not 11), 1 after 2..4 (not 12..14),
// 2 otherwise.
int formOf(qint64 n)
{
    const qint64 lastTwo = n % 100;
    if (lastTwo >= 11 && lastTwo <= 14)
        return 2;
    const qint64 last = n % 10;
    return last == 1 ? 0 : last >= 2 && last <= 4 ? 1 : 2;
}

struct Scale
{
    qint64 size;
    Gender gender;
    const char *forms[3];
    const char *alone; // the word for exactly one of it
};

const Scale Scales[] = {
    {1000000000000000LL, Gender::Feminine, {"bilijarda", "bilijarde", "bilijardi"}, "bilijarda"},
    {1000000000000LL, Gender::Masculine, {"bilion", "biliona", "biliona"}, "bilion"},
    {1000000000LL, Gender::Feminine, {"milijarda", "milijarde", "milijardi"}, "milijarda"},
    {1000000LL, Gender::Masculine, {"milion", "miliona", "miliona"}, "milion"},
    {1000LL, Gender::Feminine, {"hiljada", "hiljade", "hiljada"}, "hiljadu"},
};

} // namespace

QString amountInWords(engine::Money amount, Currency currency)
{
    const qint64 hundredths = amount.hundredths();
    // The magnitude as unsigned: the smallest qint64 has no positive counterpart.
    const quint64 magnitude = hundredths < 0 ? quint64(0) - quint64(hundredths) : quint64(hundredths);
    qint64 whole = qint64(magnitude / 100);
    const int cents = int(magnitude % 100);

    QStringList words;
    if (hundredths < 0)
        words << QStringLiteral("minus");
    if (whole == 0)
        words << QStringLiteral("nula");
    const qint64 units = whole;
    for (const Scale &s : Scales) {
        const qint64 count = whole / s.size;
        whole %= s.size;
        if (count == 0)
            continue;
        if (count == 1) {
            words << QString::fromLatin1(s.alone);
            continue;
        }
        words << below1000(int(count), s.gender); // below 1000: 64 bits hold no more
        words << QString::fromLatin1(s.forms[formOf(count)]);
    }
    if (whole > 0)
        words << below1000(int(whole), Gender::Masculine);

    const int form = formOf(units);
    if (currency == Currency::Euros)
        words << (form == 0 ? QStringLiteral("evro") : QStringLiteral("evra"));
    else
        words << (form == 0 ? QStringLiteral("dinar") : QStringLiteral("dinara"));
    QString text = words.join(QLatin1Char(' '));
    if (cents != 0)
        text += QStringLiteral(" i %1/100").arg(cents, 2, 10, QLatin1Char('0'));
    return text;
}

} // namespace desk
