#pragma once

// Fixed system settings for tests.

#include "platform/SystemSettings.h"

namespace platform {

// The system settings of tests: fixed values, the date form "dd/MM/yyyy" unless told.
class FixedSettings final : public SystemSettings
{
public:
    explicit FixedSettings(QString form = QStringLiteral("dd/MM/yyyy"), QChar dateSep = u'/',
                           QChar decimalSep = u'.')
        : form_(std::move(form)), dateSep_(dateSep), decimalSep_(decimalSep)
    {
    }
    QString shortDateFormat() const override { return form_; }
    QChar dateSeparator() const override { return dateSep_; }
    QChar decimalSeparator() const override { return decimalSep_; }

private:
    QString form_;
    QChar dateSep_;
    QChar decimalSep_;
};

} // namespace platform
