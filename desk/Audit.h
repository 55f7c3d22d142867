#pragma once

// Audit: the whole check of a journal, on top of the cash book: its chain and audit log
// (ChainVerify.h), the closed days against what the records give now (DayCloses.h) and the
// cash counts (CashCount.h). verify is what the window, the tools and the off-site copies ask.

#include "ChainVerify.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace engine {
class Table;
}

namespace desk::chain {

// verifyChain(), then the closed days whose stored figures the records no longer give and the
// cash counts that do not agree, when the journal could be read.
Verdict verify(engine::Table &journal, const QByteArray &head = {},
               const QList<Anchor> &anchors = {});

// verify() on the journal of the data directory `dir` opened with `password`.
Verdict verifyDirectory(const QString &dir, const QString &password, const QByteArray &head = {},
                        const QList<Anchor> &anchors = {});

} // namespace desk::chain
