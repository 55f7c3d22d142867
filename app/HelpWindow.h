#pragma once

// "Pomoc": the users' guide in Serbian (doc/uputstvo.md with its pictures), built into the
// program as a resource so that the guide shown is always the one of this version. A window
// of its own beside TForm1, not modal: the cashier can read while the program stays usable.

#include <QWidget>

class QTextBrowser;

class HelpWindow : public QWidget
{
    Q_OBJECT
public:
    explicit HelpWindow(QWidget *parent = nullptr);

    // The guide's text as shown (empty when the resource is missing from the build).
    QString text() const;

    // Where the guide lives among the program's resources.
    static QString guideUrl();

private:
    QTextBrowser *browser = nullptr;
};
