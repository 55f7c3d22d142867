// The users' guide window: a text browser over the guide's resource, its pictures found
// beside it (relative links such as slike/prijava.png).
#include "HelpWindow.h"

#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

HelpWindow::HelpWindow(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Pomoc"));
    setWindowTitle(QStringLiteral("DORVANTA - uputstvo"));
    browser = new QTextBrowser(this);
    browser->setObjectName(QStringLiteral("PomocTekst"));
    browser->setOpenExternalLinks(true);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser);
    if (QFile::exists(QStringLiteral(":/uputstvo/uputstvo.md")))
        browser->setSource(QUrl(guideUrl()), QTextDocument::MarkdownResource);
    else
        browser->setPlainText(QStringLiteral("Uputstvo nije ugradjeno u ovu verziju programa."));

    // As large as the guide's pictures want, but never larger than the screen it opens on.
    QSize wanted(820, 700);
    if (const QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen())
        wanted = wanted.boundedTo(screen->availableGeometry().size());
    resize(wanted);
}

QString HelpWindow::text() const
{
    return browser->toPlainText();
}

QString HelpWindow::guideUrl()
{
    return QStringLiteral("qrc:/uputstvo/uputstvo.md");
}
