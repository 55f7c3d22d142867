// ReportPage: the turnover report page. Five criterion frames (period, cashier, frequent
// activity, group, keyword in the description), the statement over the journal built from
// them (ReportStatement.h), the preview of the turnover report of the matching postings, and
// "CSV" / "CSV SR", the report's records with their document numbers as a CSV file for the
// accountant's spreadsheet (the second in the Serbian form).
//
// Guarantees: entering the page resets every criterion to its all option, the period to
// the last 30 days and the three lists to their tables' current records (the
// administrator is never offered as a cashier); what a press runs follows from the criteria
// alone; the preview is shown only when at least one posting matches; the journal table and
// the engine session are closed again after every press that got past the build (the
// engine's own errors end the press where they happen).
#include "ReportPage.h"

#include "OpenTables.h"
#include "PageContext.h"
#include "PageHost.h"
#include "QueryDataSource.h"
#include "UiHelpers.h"

#include "desk/CashBook.h"
#include "desk/CashBookCsv.h"
#include "desk/DeskSettings.h"
#include "engine/EngineError.h"
#include "engine/Query.h"
#include "engine/Session.h"
#include "engine/Table.h"
#include "platform/AtomicFile.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "CashBookPrints.h"
#include "platform/SystemSettings.h"
#include "report/Document.h"
#include "report/TurnoverReport.h"

#include <QButtonGroup>
#include <QDateEdit>
#include <QDir>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>

#include <memory>
#include <optional>

namespace {

const QString NoRecords = QStringLiteral("Nema zapisa u izvestaju!");

constexpr int FrameTop = 44;
constexpr int FrameWidth = 170;
constexpr int FrameHeight = 260;
constexpr int FrameGap = 4;
constexpr int InnerWidth = FrameWidth - 16;

// A pair of options in one frame: selecting the one not yet selected deselects its partner
// and runs its handler; selecting the selected one does nothing. The all option starts
// selected, before the handlers are connected.
void makePair(QRadioButton *all, QRadioButton *chosen, ReportPage *form,
              void (ReportPage::*allHandler)(), void (ReportPage::*chosenHandler)())
{
    auto *pair = new QButtonGroup(form);
    pair->addButton(all);
    pair->addButton(chosen);
    all->setChecked(true);
    QObject::connect(all, &QRadioButton::toggled, form, [form, allHandler](bool on) {
        if (on)
            (form->*allHandler)();
    });
    QObject::connect(chosen, &QRadioButton::toggled, form, [form, chosenHandler](bool on) {
        if (on)
            (form->*chosenHandler)();
    });
}

} // namespace

ReportPage::ReportPage(PageContext &context, QWidget *page) : QObject(page), ctx(context)
{
    const QFont small = uiFont(8);
    auto frame = [&](int column, const QString &caption, const char *name) {
        auto *box = named(new QGroupBox(caption, page), name);
        box->setGeometry(8 + column * (FrameWidth + FrameGap), FrameTop, FrameWidth, FrameHeight);
        box->setFont(small);
        return box;
    };
    auto radio = [](const QString &text, const char *name, QWidget *parent, int top) {
        auto *b = named(new QRadioButton(text, parent), name);
        b->setGeometry(8, top, InnerWidth, 20);
        return b;
    };
    auto label = [](const QString &text, const char *name, QWidget *parent, int top) {
        auto *l = named(new QLabel(text, parent), name);
        l->setGeometry(8, top, InnerWidth, 18);
        return l;
    };
    auto edit = [](const char *name, QWidget *parent, int top) {
        auto *e = named(new QLineEdit(parent), name);
        e->setGeometry(8, top, InnerWidth, 24);
        return e;
    };
    auto list = [](const char *name, QWidget *parent) {
        auto *l = named(new QListWidget(parent), name);
        l->setGeometry(8, 70, InnerWidth, 116);
        return l;
    };

    // Period.
    GroupBoxPeriod = frame(0, QStringLiteral("Za period"), "GroupBoxPeriod");
    RadioButton8 = radio(QStringLiteral("Sve"), "RadioButton8", GroupBoxPeriod, 20);
    RadioButton7 = radio(QStringLiteral("Za period"), "RadioButton7", GroupBoxPeriod, 42);
    LabelFrom = label(QStringLiteral("Ovde izaberi od kada"), "LabelFrom", GroupBoxPeriod, 72);
    LabelTo = label(QStringLiteral("Ovde izaberi do kada"), "LabelTo", GroupBoxPeriod, 122);
    DateTimePicker1 = named(new QDateEdit(GroupBoxPeriod), "DateTimePicker1");
    DateTimePicker2 = named(new QDateEdit(GroupBoxPeriod), "DateTimePicker2");
    const QString pickerForm = ctx.settings.shortDateFormat();
    for (QDateEdit *picker : {DateTimePicker1, DateTimePicker2}) {
        picker->setCalendarPopup(true);
        picker->setDisplayFormat(pickerForm);
        picker->setDate(ctx.clock.today());
    }
    DateTimePicker1->setGeometry(8, 92, InnerWidth, 24);
    DateTimePicker2->setGeometry(8, 142, InnerWidth, 24);
    LabelChosenFrom = label(QStringLiteral("Izabrano OD"), "LabelChosenFrom", GroupBoxPeriod, 176);
    LabelChosenTo = label(QStringLiteral("Izabrano DO"), "LabelChosenTo", GroupBoxPeriod, 218);
    Edit6 = edit("Edit6", GroupBoxPeriod, 194);
    Edit7 = edit("Edit7", GroupBoxPeriod, 236);
    for (QWidget *never :
         {static_cast<QWidget *>(LabelChosenFrom), static_cast<QWidget *>(LabelChosenTo),
          static_cast<QWidget *>(Edit6), static_cast<QWidget *>(Edit7)})
        never->hide();
    Edit6->setText(platform::formatShortDate(ctx.settings, ctx.clock.today()));
    Edit7->setText(platform::formatShortDate(ctx.settings, ctx.clock.today()));

    // Cashier.
    GroupBoxUser = frame(1, QStringLiteral("Za izabranog korisnika"), "GroupBoxUser");
    RadioButton9 = radio(QStringLiteral("Za sve korisnike"), "RadioButton9", GroupBoxUser, 20);
    RadioButton10 =
        radio(QStringLiteral("Za izabranog korisnika"), "RadioButton10", GroupBoxUser, 42);
    ListBox1 = list("ListBox1", GroupBoxUser);
    LabelUser = label(QStringLiteral("Izabrani korisnik"), "LabelUser", GroupBoxUser, 196);
    Edit8 = edit("Edit8", GroupBoxUser, 216);

    // Frequent activity.
    GroupBoxActivity = frame(2, QStringLiteral("Za izabranu cestu aktivnost"), "GroupBoxActivity");
    RadioButton11 =
        radio(QStringLiteral("Za sve vrste prometa"), "RadioButton11", GroupBoxActivity, 20);
    RadioButton12 =
        radio(QStringLiteral("Za izabrani cesti promet"), "RadioButton12", GroupBoxActivity, 42);
    ListBox2 = list("ListBox2", GroupBoxActivity);
    LabelActivity =
        label(QStringLiteral("Izabrani promet"), "LabelActivity", GroupBoxActivity, 196);
    Edit9 = edit("Edit9", GroupBoxActivity, 216);

    // Group.
    GroupBoxGroup = frame(3, QStringLiteral("Za izabranu grupu"), "GroupBoxGroup");
    RadioButton13 = radio(QStringLiteral("Za sve grupe"), "RadioButton13", GroupBoxGroup, 20);
    RadioButton14 = radio(QStringLiteral("Za izabranu grupu"), "RadioButton14", GroupBoxGroup, 42);
    ListBox5 = list("ListBox5", GroupBoxGroup);
    LabelGroup = label(QStringLiteral("Izabranu grupu"), "LabelGroup", GroupBoxGroup, 196);
    Edit13 = edit("Edit13", GroupBoxGroup, 216);

    // Keyword, under the first two frames.
    GroupBoxKeyword =
        named(new QGroupBox(QStringLiteral("Pretraga prometa po kljucnoj reci"), page),
              "GroupBoxKeyword");
    GroupBoxKeyword->setFont(small);
    GroupBoxKeyword->setGeometry(8, FrameTop + FrameHeight + 8, 2 * FrameWidth + FrameGap, 124);
    RadioButton5 = radio(QStringLiteral("Bez pretrage"), "RadioButton5", GroupBoxKeyword, 20);
    RadioButton6 = radio(QStringLiteral("Pretraga"), "RadioButton6", GroupBoxKeyword, 42);
    LabelKeyword = label(QStringLiteral("Unesite kljucnu rec za pretragu opisa prometa"),
                         "LabelKeyword", GroupBoxKeyword, 68);
    LabelKeyword->setGeometry(8, 68, 2 * FrameWidth - 12, 18);
    Edit10 = edit("Edit10", GroupBoxKeyword, 88);
    Edit10->setGeometry(8, 88, 2 * FrameWidth - 12, 24);

    BitBtn17 = named(new QPushButton(QStringLiteral("PRIKAZI PROMET KASE"), page), "BitBtn17");
    BitBtn17->setFont(uiFont(16, true));
    BitBtn17->setStyleSheet(QStringLiteral("color: red"));
    BitBtn17->setGeometry(380, FrameTop + FrameHeight + 16, 316, 80);

    // Only the all options are selected at first, so the chosen options' controls are hidden.
    for (QWidget *w : std::initializer_list<QWidget *>{
             LabelFrom, LabelTo, DateTimePicker1, DateTimePicker2, ListBox1, LabelUser, Edit8,
             ListBox2, LabelActivity, Edit9, ListBox5, LabelGroup, Edit13, LabelKeyword, Edit10})
        w->hide();

    makePair(RadioButton8, RadioButton7, this, &ReportPage::RadioButton8Click,
             &ReportPage::RadioButton7Click);
    makePair(RadioButton9, RadioButton10, this, &ReportPage::RadioButton9Click,
             &ReportPage::RadioButton10Click);
    makePair(RadioButton11, RadioButton12, this, &ReportPage::RadioButton11Click,
             &ReportPage::RadioButton12Click);
    makePair(RadioButton13, RadioButton14, this, &ReportPage::RadioButton13Click,
             &ReportPage::RadioButton14Click);
    makePair(RadioButton5, RadioButton6, this, &ReportPage::RadioButton5Click,
             &ReportPage::RadioButton6Click);

    connect(DateTimePicker1, &QDateEdit::dateChanged, this, &ReportPage::DateTimePicker1Change);
    connect(DateTimePicker2, &QDateEdit::dateChanged, this, &ReportPage::DateTimePicker2Change);
    // A click on a line, and a move to another line with the keys, choose that line.
    const std::pair<QListWidget *, void (ReportPage::*)()> lists[] = {
        {ListBox1, &ReportPage::ListBox1Click},
        {ListBox2, &ReportPage::ListBox2Click},
        {ListBox5, &ReportPage::ListBox5Click}};
    for (const auto &[widget, handler] : lists) {
        connect(widget, &QListWidget::itemClicked, this, handler);
        connect(widget, &QListWidget::currentRowChanged, this, handler);
    }
    connect(BitBtn17, &QPushButton::clicked, this, &ReportPage::BitBtn17Click);
    BitBtnCsv = named(new QPushButton(QStringLiteral("CSV"), page), "BitBtnCsv");
    BitBtnCsv->setFont(uiFont(9, true));
    BitBtnCsv->setGeometry(380, 440, 58, 40);
    connect(BitBtnCsv, &QPushButton::clicked, this, &ReportPage::BitBtnCsvClick);
    BitBtnCsvSr = named(new QPushButton(QStringLiteral("CSV SR"), page), "BitBtnCsvSr");
    BitBtnCsvSr->setFont(uiFont(9, true));
    BitBtnCsvSr->setToolTip(QStringLiteral("CSV za tabelu sa srpskim podesavanjima: tacka-zarez, "
                                           "decimalni zarez, datum dd.mm.yyyy"));
    BitBtnCsvSr->setGeometry(442, 440, 58, 40);
    connect(BitBtnCsvSr, &QPushButton::clicked, this, [this] { writeReportCsv(true); });
}

// ---------------------------------------------------------------------------------------
// Entering the page

void ReportPage::enter()
{
    for (QRadioButton *all :
         {RadioButton8, RadioButton9, RadioButton11, RadioButton13, RadioButton5})
        all->setChecked(true);
    for (QWidget *w : std::initializer_list<QWidget *>{
             LabelFrom, LabelTo, DateTimePicker1, DateTimePicker2, ListBox1, LabelUser, Edit8,
             ListBox2, LabelActivity, Edit9, LabelKeyword, Edit10, ListBox5, LabelGroup, Edit13})
        w->hide();

    const QDate today = ctx.clock.today();
    DateTimePicker1->setDate(today.addDays(-30));
    DateTimePicker2->setDate(today);
    DateTimePicker1Change();
    DateTimePicker2Change();

    for (QListWidget *list : {ListBox1, ListBox2, ListBox5}) {
        list->blockSignals(true); // emptying a list chooses nothing
        list->clear();
        list->blockSignals(false);
    }
    try {
        fillListFromTable(ListBox1, ctx.users, QStringLiteral("imeiprezime"), true);
        fillListFromTable(ListBox2, ctx.activities, QStringLiteral("aktivnost"), false);
        fillListFromTable(ListBox5, ctx.groups, QStringLiteral("grupa"), false);
    } catch (const engine::EngineError &e) {
        ctx.dialogs.message(e.message());
    }
}

void ReportPage::fillListFromTable(QListWidget *list, engine::Table *table, const QString &field,
                               bool skipAdmin)
{
    QStringList lines;
    {
        OpenTables tables(ctx.session, {table});
        const int index = table->fieldIndex(field);
        for (table->first(); !table->eof(); table->next()) {
            const QString value = index >= 0 ? table->fieldText(index) : table->fieldText(field);
            if (skipAdmin && value == QLatin1String("Admin"))
                continue;
            lines.append(value);
        }
    }
    list->blockSignals(true);
    list->addItems(lines);
    list->blockSignals(false);
}

// ---------------------------------------------------------------------------------------
// The criterion frames

void ReportPage::RadioButton8Click()
{
    for (QWidget *w :
         std::initializer_list<QWidget *>{LabelFrom, LabelTo, DateTimePicker1, DateTimePicker2})
        w->hide();
}

void ReportPage::RadioButton7Click()
{
    for (QWidget *w :
         std::initializer_list<QWidget *>{LabelFrom, LabelTo, DateTimePicker1, DateTimePicker2})
        w->show();
}

void ReportPage::DateTimePicker1Change()
{
    Edit6->setText(platform::formatShortDate(ctx.settings, DateTimePicker1->date()));
}

void ReportPage::DateTimePicker2Change()
{
    Edit7->setText(platform::formatShortDate(ctx.settings, DateTimePicker2->date()));
}

void ReportPage::RadioButton9Click()
{
    ListBox1->hide();
    LabelUser->hide();
    Edit8->hide();
}

void ReportPage::RadioButton10Click()
{
    ListBox1->show();
    LabelUser->show();
    Edit8->show();
}

void ReportPage::ListBox1Click()
{
    if (const QListWidgetItem *item = ListBox1->currentItem())
        Edit8->setText(item->text());
}

void ReportPage::RadioButton11Click()
{
    ListBox2->hide();
    LabelActivity->hide();
    Edit9->hide();
}

void ReportPage::RadioButton12Click()
{
    ListBox2->show();
    LabelActivity->show();
    Edit9->show();
}

void ReportPage::ListBox2Click()
{
    if (const QListWidgetItem *item = ListBox2->currentItem())
        Edit9->setText(item->text());
}

void ReportPage::RadioButton13Click()
{
    ListBox5->hide();
    LabelGroup->hide();
    Edit13->hide();
}

void ReportPage::RadioButton14Click()
{
    ListBox5->show();
    LabelGroup->show();
    Edit13->show();
}

void ReportPage::ListBox5Click()
{
    if (const QListWidgetItem *item = ListBox5->currentItem())
        Edit13->setText(item->text());
}

void ReportPage::RadioButton5Click()
{
    LabelKeyword->hide();
    Edit10->hide();
}

void ReportPage::RadioButton6Click()
{
    // A keyword search covers every cashier and every activity until one is chosen again.
    RadioButton9->setChecked(true);
    RadioButton11->setChecked(true);
    LabelKeyword->show();
    Edit10->show();
}

// ---------------------------------------------------------------------------------------
// The statement and the report

ReportCriteria ReportPage::reportCriteria() const
{
    ReportCriteria c;
    c.period = RadioButton7->isChecked();
    c.from = Edit6->text();
    c.to = Edit7->text();
    c.cashier = RadioButton10->isChecked();
    c.cashierName = Edit8->text();
    c.activity = RadioButton12->isChecked();
    c.activityText = Edit9->text();
    c.group = RadioButton14->isChecked();
    c.groupName = Edit13->text();
    c.keyword = RadioButton6->isChecked();
    c.keywordText = Edit10->text();
    return c;
}

QString ReportPage::reportStatement() const
{
    return ctx.query->sql().join(QLatin1Char('\n'));
}

void ReportPage::BitBtn17Click()
{
    const ReportStatement statement = buildReportStatement(reportCriteria());
    if (!statement.complete) {
        ctx.dialogs.message(statement.missing);
        reportEndStep();
        return;
    }
    try {
        ctx.session.setPassword(desk::tablePassword());
        ctx.journal->open();
        ctx.query->close();
        ctx.query->sql().clear();
        ctx.query->sql().append(statement.sql);
        ctx.query->setRequestLive(true);
        ctx.query->open();
    } catch (const engine::EngineError &e) {
        ctx.session.close(); // nothing this press opened stays open
        ctx.dialogs.message(e.message());
        return;
    }

    if (ctx.query->recordCount() > 0) {
        // The search word is named under the other criteria, as the review's printout does.
        const bool searched = statement.titles.size() > 4;
        report::Report layout = report::turnoverReport(searched);
        const char *const names[] = {report::TitleLine1, report::TitleLine2, report::TitleLine3,
                                     report::TitleLine4, report::TitleLine5};
        for (int i = 0; i < statement.titles.size() && i < 5; ++i)
            layout.setText(QString::fromLatin1(names[i]), statement.titles.at(i));
        report::Document document(layout, std::make_shared<QueryDataSource>(*ctx.query));
        document.setPrintTime(ctx.clock.currentDateTime());
        document.setDateFormat(ctx.settings.shortDateFormat());
        report::Document printed = cash_prints::onShopPaper(document, desk::settings::read(*ctx.journal));
        ctx.window.showReport(printed);
    } else {
        ctx.dialogs.message(NoRecords);
    }
    reportEndStep();
}

void ReportPage::reportEndStep()
{
    ctx.journal->close();
    ctx.session.close();
    // The keyword stays: the CSV of the same search, or another press, needs it again.
    Edit8->clear();
    Edit9->clear();
    // The lists show no line chosen while their boxes are empty.
    for (QListWidget *list : {ListBox1, ListBox2}) {
        const QSignalBlocker quiet(list);
        list->clearSelection();
        list->setCurrentRow(-1);
    }
}

void ReportPage::BitBtnCsvClick()
{
    writeReportCsv(false);
}

void ReportPage::writeReportCsv(bool serbian)
{
    const ReportStatement statement = buildReportStatement(reportCriteria());
    if (!statement.complete) {
        ctx.dialogs.message(statement.missing); // as the report says it
        return;
    }
    const std::optional<QString> name =
        ctx.dialogs.prompt(QStringLiteral("CSV"), QStringLiteral("Ime CSV fajla:"),
                       QStringLiteral("izvestaj.csv"));
    if (!name || name->trimmed().isEmpty())
        return;
    const QString path = QDir(ctx.window.startDirectory()).absoluteFilePath(name->trimmed());

    std::optional<platform::ProgressShown> busy(std::in_place, ctx.dialogs,
                                                QStringLiteral("Izvoz u CSV u toku..."));
    QList<desk::BookEntry> chosen;
    desk::rates::RateBook euroRates;
    try {
        OpenTables tables(ctx.session, {ctx.journal});
        // The report's statement chooses the records, the journal read with its numbers
        // gives them by their ids.
        ctx.query->close();
        ctx.query->sql().clear();
        ctx.query->sql().append(statement.sql);
        ctx.query->open();
        const QList<desk::BookEntry> all = desk::cashbook::entries(*ctx.journal);
        euroRates = desk::rates::RateBook::load(*ctx.journal);
        QHash<qint64, qsizetype> byId;
        byId.reserve(all.size());
        for (qsizetype k = 0; k < all.size(); ++k)
            byId.insert(all.at(k).id, k);
        for (int row = 0; row < ctx.query->recordCount(); ++row) {
            const auto found = byId.constFind(ctx.query->recordIdAt(row));
            if (found == byId.constEnd())
                throw engine::EngineError(
                    QStringLiteral("Promet se menjao za vreme izvoza, pokusajte ponovo"));
            chosen << all.at(*found);
        }
    } catch (const engine::EngineError &e) {
        busy.reset();
        ctx.dialogs.message(e.message());
        return;
    }
    QString error;
    const bool written = platform::writeFileAtomically(
        path,
        desk::csvOf(chosen, serbian ? desk::CsvForm::Serbian : desk::CsvForm::Plain, euroRates),
        &error);
    busy.reset();
    if (!written) {
        ctx.dialogs.message(QStringLiteral("CSV NIJE snimljen: ") + error);
        return;
    }
    ctx.dialogs.message(QStringLiteral("Snimljeno u %1 (%2 zapisa)").arg(path).arg(chosen.size()));
}
