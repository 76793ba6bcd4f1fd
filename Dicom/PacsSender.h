#pragma once

#include "MaturixDicomExport.h"
#include "PacsAddress.h"
#include "PacsResult.h"

#include <QByteArray>
#include <QList>

#include <functional>

class QObject;

// DICOM verification (C-ECHO) and storage (C-STORE) with a PACS, negotiating
// explicit and implicit VR little endian. A PACS has 30 seconds to answer
// one request, a whole batch of files included; then it "did not answer". The blocking calls suit a worker
// thread or the command line; the background calls run them on Qt's thread
// pool and hand the result to `context`'s thread, unless `context` is gone
// by then.
class MATURIXDICOM_EXPORT PacsSender
{
public:
    using ItemSent = std::function<void(qsizetype index, const PacsResult &result)>;

    static PacsResult echo(const PacsAddress &address);
    // Stores each DICOM file (its bytes) on one association, and answers one
    // result per file, in order. A file counts as stored only when the PACS
    // confirmed it. After a lost connection the next file opens a new
    // association; once the PACS cannot be reached, the remaining files
    // fail with that reason without further attempts. `itemSent` is called
    // after each file, on the calling thread.
    static QList<PacsResult> store(const PacsAddress &address, const QList<QByteArray> &files,
                                   const ItemSent &itemSent = {});

    static void echoInBackground(const PacsAddress &address, QObject *context,
                                 std::function<void(const PacsResult &)> done);
    static void storeInBackground(const PacsAddress &address, const QList<QByteArray> &files,
                                  QObject *context,
                                  std::function<void(const QList<PacsResult> &)> done);
};
