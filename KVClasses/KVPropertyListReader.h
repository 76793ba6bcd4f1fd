#pragma once

#include "KVClassesExport.h"

#include <QByteArray>
#include <QString>
#include <QVariant>

// Reads a property list in its XML form, as the platform writes it (with
// its XML declaration and DOCTYPE). Values come back as QVariantMap (dict),
// QVariantList (array), QString (string), qlonglong or qulonglong
// (integer), double (real), bool (true, false), QDateTime in UTC (date) and
// QByteArray (data). Untrusted input is expected: nesting is capped and
// anything else than a well-formed property list is refused.
class KVCLASSES_EXPORT KVPropertyListReader
{
public:
    static constexpr int maximumDepth = 64;

    // The root value, or an invalid QVariant with the reason in errorString.
    static QVariant propertyListFromData(const QByteArray &data, QString *errorString = nullptr);
};
