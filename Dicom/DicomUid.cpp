#include "DicomUid.h"

#include <QUuid>

namespace DicomUid {

QByteArray generate()
{
    const QUuid uuid = QUuid::createUuid();
    const QByteArray bytes = uuid.toRfc4122();
    unsigned __int128 value = 0;
    for (const char byte : bytes)
        value = (value << 8) | static_cast<unsigned char>(byte);
    QByteArray digits;
    do {
        digits.prepend(char('0' + int(value % 10)));
        value /= 10;
    } while (value != 0);
    return QByteArrayLiteral("2.25.") + digits;
}

QByteArray implementationClassUID()
{
    return QByteArrayLiteral("2.25.26464369103005254311535145845118850783");
}

QByteArray implementationVersionName()
{
    // At most 16 characters.
    return QByteArrayLiteral("MATURIX_" MATURIX_VERSION).left(16);
}

} // namespace DicomUid
