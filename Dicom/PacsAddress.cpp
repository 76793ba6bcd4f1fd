#include "PacsAddress.h"

bool PacsAddress::isValidAETitle(const QString &title)
{
    if (title.isEmpty() || title.size() > 16 || title.trimmed().isEmpty())
        return false;
    for (const QChar c : title) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7e || c == u'\\')
            return false;
    }
    return true;
}

QString PacsAddress::validationError() const
{
    if (!isValidAETitle(calledAETitle))
        return QStringLiteral("The PACS's AE title \"%1\" is not valid (1 to 16 characters, no backslash).")
                .arg(calledAETitle);
    if (!isValidAETitle(callingAETitle))
        return QStringLiteral("The calling AE title \"%1\" is not valid (1 to 16 characters, no backslash).")
                .arg(callingAETitle);
    if (host.trimmed().isEmpty())
        return QStringLiteral("No host is set for the PACS.");
    if (port == 0)
        return QStringLiteral("No port is set for the PACS.");
    return {};
}

std::optional<PacsAddress> PacsAddress::fromString(const QString &text, QString *error)
{
    auto refuse = [&](const QString &reason) -> std::optional<PacsAddress> {
        if (error)
            *error = reason;
        return std::nullopt;
    };
    const qsizetype at = text.indexOf(u'@');
    const qsizetype colon = text.lastIndexOf(u':');
    if (at <= 0 || colon < at)
        return refuse(QStringLiteral("'%1' is not AET@HOST:PORT").arg(text));
    PacsAddress address;
    address.calledAETitle = text.left(at);
    address.host = text.mid(at + 1, colon - at - 1);
    if (address.host.startsWith(u'[') && address.host.endsWith(u']'))
        address.host = address.host.mid(1, address.host.size() - 2);
    bool ok = false;
    const uint port = text.mid(colon + 1).toUInt(&ok);
    if (!ok || port == 0 || port > 0xffff)
        return refuse(QStringLiteral("'%1' is not a port from 1 to 65535").arg(text.mid(colon + 1)));
    address.port = quint16(port);
    const QString invalid = address.validationError();
    if (!invalid.isEmpty())
        return refuse(invalid);
    return address;
}

QString PacsAddress::toString() const
{
    const QString shownHost = host.contains(u':') ? QStringLiteral("[%1]").arg(host) : host;
    return QStringLiteral("%1@%2:%3").arg(calledAETitle, shownHost, QString::number(port));
}
