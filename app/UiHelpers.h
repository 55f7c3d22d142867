#pragma once

// Small helpers for building the windows' controls by hand at fixed positions.

#include <QFont>
#include <QString>

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
