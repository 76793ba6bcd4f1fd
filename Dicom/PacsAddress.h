#pragma once

#include "MaturixDicomExport.h"

#include <QString>

#include <optional>

// Where a PACS listens and who we are to it: the called AE title, host and
// port of its storage service, and our calling AE title.
struct MATURIXDICOM_EXPORT PacsAddress
{
    static constexpr quint16 defaultPort = 104;
    static inline const QString defaultCallingAETitle = QStringLiteral("MATURIX");

    QString calledAETitle;
    QString host;
    quint16 port = defaultPort;
    QString callingAETitle = defaultCallingAETitle;

    // "AET@HOST:PORT" (an IPv6 host in brackets); nothing with the reason
    // when the text is not such an address or an AE title is not valid.
    static std::optional<PacsAddress> fromString(const QString &text, QString *error = nullptr);
    // A reason when the address cannot be used as it is, else empty.
    QString validationError() const;
    QString toString() const;
    // 1 to 16 characters of printable ASCII, no backslash, not all spaces.
    static bool isValidAETitle(const QString &title);
};
