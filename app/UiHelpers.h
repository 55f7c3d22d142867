#pragma once

// Small helpers for building the windows' controls by hand at fixed positions.

#include <QFocusEvent>
#include <QFont>
#include <QFontMetricsF>
#include <QLineEdit>
#include <QString>
#include <QStyle>
#include <QStyleOptionFrame>

inline QFont uiFont(int pointSize, bool bold = false)
{
    QFont f;
    f.setPointSize(pointSize);
    f.setBold(bold);
    return f;
}

// Names a control as the program names it (its objectName) and returns it.
template <typename W> W *named(W *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// True for a focus-in that moved the focus to a control from another control of the same
// window: a click, Tab, Backtab, a shortcut or the program's own setFocus. A window that
// becomes active again, or a popup, message box or menu that closes, gives the focus back
// to where it was; that is no move, and handlers that empty a box must not run for it.
inline bool focusMovedWithinWindow(const QEvent *event)
{
    if (event->type() != QEvent::FocusIn)
        return false;
    switch (static_cast<const QFocusEvent *>(event)->reason()) {
    case Qt::MouseFocusReason:
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
    case Qt::ShortcutFocusReason:
    case Qt::OtherFocusReason:
        return true;
    default:
        return false;
    }
}

// The width a one-line edit box has for its text: its contents less the frame, the text
// margins, the two-pixel margins the box keeps on each side and the cursor.
inline qreal lineEditTextWidth(const QLineEdit *edit)
{
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.rect = edit->rect();
    option.lineWidth =
        edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit)
                         : 0;
    option.midLineWidth = 0;
    option.state |= QStyle::State_Sunken;
    const QRect contents = edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit);
    const QMargins margins = edit->textMargins();
    return contents.width() - margins.left() - margins.right() - 2 * 2 - 1;
}

// Keeps the whole text of a read-only box in view: the box's own font size when the text
// fits, otherwise the largest smaller size (in half points) at which it does. A box that
// scrolled its text instead would hide its start, the sign of a negative amount included.
inline void fitLineEditText(QLineEdit *edit, qreal pointSize)
{
    QFont font = edit->font();
    const qreal room = lineEditTextWidth(edit);
    qreal size = pointSize;
    for (;;) {
        font.setPointSizeF(size);
        if (size <= 4.0 || QFontMetricsF(font).horizontalAdvance(edit->text()) <= room)
            break;
        size -= 0.5;
    }
    if (edit->font() != font)
        edit->setFont(font);
    edit->home(false);
}
