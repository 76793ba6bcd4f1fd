#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Text that came from a file, made safe to print on a terminal, in a log or
// in a message: printable characters stay as they are, every other
// character and every byte that is no valid UTF-8 is written as an escape
// (\x00, \x81, \u200e), and a backslash as "\\", so that the output is one
// line and says exactly which bytes the file holds.
class PrintableText
{
public:
    static QString fromUtf8(QByteArrayView bytes);
    static QString escaped(QStringView text);
};
