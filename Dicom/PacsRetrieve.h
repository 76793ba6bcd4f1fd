#pragma once

#include "MaturixDicomExport.h"
#include "PacsAddress.h"
#include "PacsResult.h"

#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>

class QObject;

// Retrieves one study from a PACS (Study Root), by C-GET: the PACS sends
// the instances back on our own association, so no port of ours needs to
// be reachable. Where a PACS allows only C-MOVE, it sends them to our own
// storage service on a port of ours instead (the PACS must know our AE
// title with this host and port). Each instance is written into a folder as
// SOP-INSTANCE-UID.dcm, in the transfer syntax it arrived in.
class MATURIXDICOM_EXPORT PacsRetrieve
{
public:
    struct Answer
    {
        // Confirmed only when every instance of the study arrived.
        PacsResult result;
        // The files written, in the order they arrived. After a failure
        // they are the instances that did arrive; after a cancel, none.
        QStringList files;
        // The one to show: the first radiograph (CR or DX), else the first
        // file with pixels, else none.
        QString image;
    };
    // Called after each instance; `total` is -1 while the PACS has not
    // said. Answers false to cancel.
    using Progress = std::function<bool(int received, int total)>;

    // `storagePort` 0: by C-GET; otherwise by C-MOVE to that port of ours.
    static Answer retrieve(const PacsAddress &address, const QString &studyInstanceUID,
                           const QString &folder, quint16 storagePort = 0,
                           const Progress &progress = {});

    // On Qt's thread pool. `progress` and `done` run on `context`'s thread
    // unless it is gone. Setting the answered flag cancels the retrieval,
    // which then answers with no files.
    static std::shared_ptr<std::atomic_bool>
    retrieveInBackground(const PacsAddress &address, const QString &studyInstanceUID,
                         const QString &folder, quint16 storagePort, QObject *context,
                         std::function<void(int received, int total)> progress,
                         std::function<void(const Answer &)> done);
};
