#pragma once

#include <QDate>
#include <QString>

// Calendar dates written as YYYY-MM-DD; an invalid QDate when the text is
// malformed or names no such day.
QDate parseCalendarDate(const QString &text);
