#pragma once

// A prepared report: its definition, texts and records, ready to lay out.

#include "DataSource.h"
#include "Page.h"
#include "Report.h"

#include <QDateTime>

#include <memory>

namespace report {

// A prepared report: the definition with its run-time texts, the records it prints and the
// date and time of printing. It is a value that can be handed to a preview, a printer, a
// PDF file or a test, which may ask for the page count and for any page without a window.
//
// Pages are laid out only when asked for: the page count comes from the band heights and
// the record count alone (a detail that grows with its record is measured first, in one pass
// over the records, when there are at most 50,000 of them; with more, details keep their own
// height), a page reads only its own records, and the sums are made in one
// pass over the numbers the first time a page needs them. Copies share the data source and
// what has been worked out so far. The data source must not change while the document is
// in use.
class Document
{
public:
    Document();
    Document(const Report &report, std::shared_ptr<DataSource> data);

    const Report &report() const { return m_report; }
    const std::shared_ptr<DataSource> &dataSource() const { return m_data; }
    // The data source's readError(): pages laid out since it failed show empty records.
    QString readError() const { return m_data ? m_data->readError() : QString(); }
    int recordCount() const;

    // The date and time printed as "the time of printing"; the current time by default.
    QDateTime printTime() const { return m_printTime; }
    void setPrintTime(const QDateTime &time);
    // The date part's form (the system's short date form); "dd/MM/yyyy" by default.
    // The time is always printed as HH:mm:ss.
    QString dateFormat() const { return m_dateFormat; }
    void setDateFormat(const QString &format);
    QString printTimeText() const;

    int pageCount() const;
    // Page `number`, from 1 to pageCount(); an empty page for any other number.
    Page page(int number) const;
    QStringList pageTexts(int number) const;

private:
    struct Cache;
    Cache &cache() const;

    Report m_report;
    std::shared_ptr<DataSource> m_data;
    QDateTime m_printTime;
    QString m_dateFormat;
    mutable std::shared_ptr<Cache> m_cache;
};

} // namespace report
