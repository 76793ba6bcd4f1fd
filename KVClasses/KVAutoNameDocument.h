#pragma once

#include "KVClassesExport.h"

#include "KVDocument.h"

// A document whose subclass may propose a file location while the save
// panel is prepared; when the panel is cancelled or the save fails, the
// location the document had before is put back, so a new document stays
// untitled and never points at a file that was not written.
class KVCLASSES_EXPORT KVAutoNameDocument : public KVDocument
{
    Q_OBJECT

public:
    using KVDocument::KVDocument;

    // Runs the save panel with documentDidSave as its completion. The
    // caller's completion is not passed on.
    void runModalSavePanelForSaveOperation(SaveOperationType operation,
                                           SaveCompletion completion) override;
    // Puts back previousLocation unless the document was saved.
    virtual void documentDidSave(Document *document, bool didSave, const QUrl &previousLocation);
};
