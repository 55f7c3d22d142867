#pragma once

// The journal of a test desk on either store, opened with the table password, and a posting
// as the posting page stores it (the record with its number and link in one transaction):
// the fixture of the cash book's suites.

#include "testsupport/EngineFixture.h"

#include "desk/CashBook.h"
#include "desk/Posting.h"
#include "engine/Table.h"

#include <QStringList>

class CashBookFixture : public StoreFixture
{
protected:
    void SetUp() override
    {
        StoreFixture::SetUp();
        session.setPassword(password());
        journal.open();
    }

    // One posting as the posting page makes it: the record and its number in one transaction
    // (of `amount` dinars, or euros).
    QString postNumbered(const QString &date, bool in, const QString &amount = QStringLiteral("10.00"),
                         bool euros = false)
    {
        journal.startTransaction();
        journal.insert();
        journal.setFieldText(QStringLiteral("DATUM"), date);
        journal.setFieldText(euros ? (in ? QStringLiteral("ULAZEUR") : QStringLiteral("IZLAZEUR"))
                                   : (in ? QStringLiteral("ULAZDIN") : QStringLiteral("IZLAZDIN")),
                             amount);
        journal.post();
        try {
            const QString number = desk::numberAndLink(
                journal, journal.recordId(), in ? desk::DocumentKind::Receipt : desk::DocumentKind::Payment,
                session.dateFormat().parseOrThrow(date));
            journal.commit();
            return number;
        } catch (...) {
            journal.rollback();
            throw;
        }
    }

    QStringList numbers()
    {
        QStringList out;
        for (const desk::BookEntry &e : desk::cashbook::entries(journal))
            out << e.number;
        return out;
    }

    engine::Table journal{session, QStringLiteral("podaci/promet.db")};
};
