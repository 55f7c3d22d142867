// Deposits to the bank and the receipts they leave uncovered (Deposits.h).
#include "Deposits.h"

#include "Holidays.h"
#include "Rates.h"
#include "StoreSupport.h"

#include "engine/EngineError.h"
#include "engine/Table.h"

#include <QRegularExpression>

namespace desk::deposits {

using engine::Money;

QString reasonFor(const QString &slip)
{
    return Kind + QStringLiteral(" br. ") + slip.trimmed();
}

bool isDeposit(const QString &reason)
{
    static const QRegularExpression reversal(QStringLiteral("^STORNO \\S+: "));
    QString r = reason;
    r.remove(reversal);
    return r.startsWith(Kind);
}

QString slipRefusal(const QString &slip)
{
    const QString s = slip.trimmed();
    if (s.isEmpty())
        return QStringLiteral("Polog na racun mora imati broj uplatnice");
    static const QRegularExpression form(QStringLiteral("^[0-9A-Za-z/ -]{1,40}$"));
    if (!form.match(s).hasMatch())
        return QStringLiteral("Broj uplatnice \"%1\" nije ispravan (cifre, slova, '-' i '/', "
                              "najvise 40 znakova)")
            .arg(s);
    return {};
}

QString refusal(const Posting &p)
{
    if (!p.reason.startsWith(Kind))
        return {};
    if (p.direction != Direction::Out || p.currency != Currency::Dinars)
        return QStringLiteral("Polog na racun je izlaz u dinarima: promena nije proknjizena");
    QString slip = p.reason.mid(Kind.size()).trimmed();
    if (slip.startsWith(QLatin1String("br.")))
        slip = slip.mid(3);
    if (const QString wrong = slipRefusal(slip); !wrong.isEmpty())
        return wrong + QStringLiteral(": promena nije proknjizena");
    return {};
}

QString Overdue::text() const
{
    return QStringLiteral("Pazar od %1 (%2 DIN) nije polozen na racun")
        .arg(rates::dayText(day), rates::groupedText(amount));
}

QList<Overdue> overdue(engine::Table &journal, const QDate &today)
{
    const QList<QVariantList> receipts = journal.runBeside(QStringLiteral(
        "SELECT DATUM, SUM(ULAZDIN) FROM promet WHERE ULAZDIN <> 0 GROUP BY DATUM ORDER BY DATUM"));
    const QList<QVariantList> deposited = journal.runBeside(
        QStringLiteral("SELECT SUM(IZLAZDIN) FROM promet WHERE OPIS LIKE ?1 OR OPIS LIKE ?2"),
        {Kind + QLatin1Char('%'), QStringLiteral("STORNO %: ") + Kind + QLatin1Char('%')});
    Money cover = money(deposited.value(0).value(0));
    QList<Overdue> out;
    for (const QVariantList &row : receipts) {
        const QDate day = QDate::fromString(row.value(0).toString().left(10), Qt::ISODate);
        Money left = money(row.value(1));
        if (!day.isValid() || left <= Money())
            continue;
        if (cover >= left) {
            cover -= left;
            continue;
        }
        if (cover > Money()) {
            left -= cover;
            cover = Money();
        }
        if (holidays::workingDaysAfter(day, today) > WorkingDaysAllowed)
            out << Overdue{day, left};
    }
    return out;
}

QStringList warningLines(const QList<Overdue> &days, int shown)
{
    QStringList lines;
    for (qsizetype i = 0; i < days.size() && i < shown; ++i)
        lines << days.at(i).text();
    if (days.size() > shown)
        lines << QStringLiteral("... i jos %1 dana bez pologa").arg(days.size() - shown);
    return lines;
}

} // namespace desk::deposits
