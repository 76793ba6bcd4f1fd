#include "KVAutoNameDocument.h"

#include <QPointer>

void KVAutoNameDocument::runModalSavePanelForSaveOperation(SaveOperationType operation,
                                                           SaveCompletion)
{
    const QUrl previousLocation = fileURL();
    QPointer<KVAutoNameDocument> guard(this);
    KVDocument::runModalSavePanelForSaveOperation(
            operation, [guard, previousLocation](Document *document, bool didSave) {
                if (guard)
                    guard->documentDidSave(document, didSave, previousLocation);
            });
}

void KVAutoNameDocument::documentDidSave(Document *document, bool didSave,
                                         const QUrl &previousLocation)
{
    if (!didSave && document)
        document->setFileURL(previousLocation);
}
