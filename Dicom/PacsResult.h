#pragma once

#include <QString>

// The outcome of one request to a PACS: confirmed by the PACS, or the reason
// why not, in words a user can act on.
struct PacsResult
{
    bool confirmed = false;
    QString reason;

    static PacsResult success() { return { true, {} }; }
    static PacsResult failure(const QString &why) { return { false, why }; }
};
