#pragma once

// The work of dorvanta-admin's commands on the data directory `dir` (either store). Each
// returns an empty text on success and the reason otherwise; nothing is half written.

#include <QByteArrayView>

#include <functional>

#include "engine/Money.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>

#include <optional>

namespace engine {
class Table;
}

namespace admin {

// Runs `work` on the journal of the data directory `dir`, its cash book made ready first
// (desk::cashbook::prepare); the engine's text of a failure, empty on success.
QString onJournal(const QString &dir, const std::function<void(engine::Table &)> &work);

class AdminCommands
{
public:
    explicit AdminCommands(const QString &dir);

    // Whether `code` is the login code of the user "Admin"; the reason when it is not.
    QString checkAdminCode(const QString &code);
    // The journal with its numbers as CSV, dates from `from` to `to` when given, handed to
    // `write` a piece at a time (desk::writeCsv); `write` returns false to stop, with its
    // reason in `writeError`. `serbian`: the Serbian form (desk::CsvForm::Serbian).
    QString exportCsv(std::optional<QDate> from, std::optional<QDate> to,
                      const std::function<bool(QByteArrayView)> &write, const QString &writeError,
                      bool serbian = false);
    // Closes `day` in the name of Admin; `summary` tells the report's number and figures.
    QString closeDay(const QDate &day, const QDateTime &now, QString &summary);
    // Reverses the document `number` in the name of Admin, dated `now`, and writes the
    // directory's export podaci.txt anew (not uploaded: the next posting's upload or the
    // administrator's mftp sends it); `summary` names the reversal's number.
    QString reverse(const QString &number, const QDateTime &now, QString &summary);
    // Counts the cash of `currency` ("DIN" or "EUR") on `day` in the name of Admin: `pieces`
    // as "5000x3,1000x12"; a difference is posted as its own document and the export
    // podaci.txt written anew (not uploaded). `summary` tells the sums and the document.
    QString count(const QDate &day, const QString &currency, const QString &pieces,
                  const QDateTime &now, QString &summary);
    // Sets the cash limit in dinars and/or euros (0: none) in the name of Admin; a limit not
    // given stays. `summary` tells the limits now.
    QString limit(std::optional<engine::Money> dinars, std::optional<engine::Money> euros,
                  QString &summary);
    // A backup of the journal as the backup page writes it (podaci/bck-DD-MM-YY-HH-MM-SS.db);
    // with `keep` above 0 only the `keep` newest of those backups stay. `summary` names them.
    QString backup(const QDateTime &now, int keep, QString &summary);
    // Restores the backup podaci/`name` over the journal in the name of Admin, as the backup
    // page does (the journal archived first, closes, counters and log kept). A backup that
    // changes what a closed day was closed as is refused, naming the days, unless
    // `changeClosedDays`; then the log names them. `summary` says what was done.
    QString restore(const QString &name, const QDateTime &now, bool changeClosedDays,
                    QString &summary);
    // The daily cash report of `day` ("DIN", "EUR" or both when empty) as the PDF file `pdf`.
    QString dayReport(const QDate &day, const QString &currency, const QDateTime &now,
                      const QString &pdf);
    // The voucher of the document `number` as the PDF file `pdf`.
    QString voucher(const QString &number, const QDateTime &now, const QString &pdf);

    // Checks the journal (or the backup file `file`) against its chain and audit log, and with
    // `head` whether that head is part of its history. 0 when all agree (`report` the records
    // and the head), 1 when not (`report` names the first record and every log entry that
    // does not fit), 2 when the data cannot be read.
    int verify(const QString &file, const QByteArray &head, QString &report);

private:
    QString m_dir;
};

} // namespace admin
