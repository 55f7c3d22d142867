// The report page's statement over the journal, built from its criteria in one pure function.
#include "ReportStatement.h"

#include "SqlText.h"

namespace {

const QString MissingText = QStringLiteral("Morate uneti text za pretragu");
const QString MissingCashier = QStringLiteral("Morate izabrati korisnika iz liste!");
const QString MissingActivity = QStringLiteral("Morate izabrati cesti promet iz liste!");
const QString MissingGroup = QStringLiteral("Morate izabrati grupu iz liste!");

QString quoted(const QString &value)
{
    return QLatin1Char('\'') + sqlEscape(value) + QLatin1Char('\'');
}

} // namespace

ReportStatement buildReportStatement(const ReportCriteria &c)
{
    // Each applied criterion adds one condition; the first one applied opens the where
    // clause, every later one is joined with "and". The base text ends in a blank and every
    // connector begins with one, so a statement without a period has two blanks before
    // "where".
    QString s = QStringLiteral("select * from podaci\\promet.db ");
    QStringList titles = {QStringLiteral("Promet dorvante od pocetka pracenja prometa"),
                          QStringLiteral("Za sve dorvantike"),
                          QStringLiteral("Za sve moguce transakcije"),
                          QStringLiteral("Za sve grupe")};
    bool applied = false;
    auto connector = [&applied](const char *condition) {
        const QString text = (applied ? QStringLiteral(" and ") : QStringLiteral(" where ")) +
                             QLatin1String(condition);
        applied = true;
        return text;
    };

    if (c.period) {
        s += QStringLiteral("where (datum between ") + quoted(sqlDateLiteral(c.from)) +
             QStringLiteral(" and ") + quoted(sqlDateLiteral(c.to)) + QLatin1Char(')');
        applied = true;
        titles[0] = QStringLiteral("Promet dorvante za period od ") + c.from +
                    QStringLiteral(" do ") + c.to;
    }
    if (c.cashier) {
        if (c.cashierName.isEmpty())
            return {false, {}, {}, MissingCashier};
        s += connector("(korisnik = ") + quoted(c.cashierName) + QLatin1Char(')');
        titles[1] = QStringLiteral("Za izabranog dorvantika ") + c.cashierName;
    }
    if (c.activity) {
        if (c.activityText.isEmpty())
            return {false, {}, {}, MissingActivity};
        s += connector("(opis = ") + quoted(c.activityText) + QLatin1Char(')');
        titles[2] = QStringLiteral("Za izabrani promet: ") + c.activityText;
    }
    if (c.group) {
        if (c.groupName.isEmpty())
            return {false, {}, {}, MissingGroup};
        s += connector("(grupa = ") + quoted(c.groupName) + QLatin1Char(')');
        titles[3] = QStringLiteral("Za izabranu grupu: ") + c.groupName;
    }
    if (c.keyword) {
        if (c.keywordText.isEmpty())
            return {false, {}, {}, MissingText};
        s += connector("upper(opis) like upper(") + QLatin1Char('\'') + QLatin1Char('%') +
             sqlEscape(likeLiteral(c.keywordText)) + QLatin1Char('%') + QLatin1Char('\'') +
             QLatin1Char(')') + likeEscapeClause(c.keywordText);
        titles.append(QStringLiteral("Rezultat pretrage po reci za pretragu: ") + c.keywordText);
    }
    return {true, s, titles, {}};
}
