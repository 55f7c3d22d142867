#pragma once

// The report page's criteria and the statement over the journal made from them, in one pure
// function, so that what a press runs follows from the criteria alone. Every value typed or
// picked by the user is placed between quotes with each quote written doubled, so no value
// changes the statement's shape.

#include <QString>
#include <QStringList>

// The criteria as the page's controls hold them: which chosen options are selected and the
// texts of their edit boxes (dates as date text).
struct ReportCriteria
{
    bool period = false;
    QString from;
    QString to;
    bool cashier = false;
    QString cashierName;
    bool activity = false;
    QString activityText;
    bool group = false;
    QString groupName;
    bool keyword = false;
    QString keywordText;
};

// The statement over the journal and the report's title lines made from the criteria: four,
// and a fifth naming the search word when there is one. `complete` is false when a chosen
// criterion has no text; the statement and titles are then empty and `missing` is the
// message that says what is missing.
struct ReportStatement
{
    bool complete = false;
    QString sql;
    QStringList titles;
    QString missing;
};

ReportStatement buildReportStatement(const ReportCriteria &criteria);
