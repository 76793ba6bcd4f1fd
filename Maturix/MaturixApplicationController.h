#pragma once

#include "VantrelAppController.h"

// The application's own controller: patient documents of the "maturix"
// extension (unless the preferences name another), and the patient's sex
// from the viewer's link request.
class MaturixApplicationController : public VantrelAppController
{
    Q_OBJECT

public:
    explicit MaturixApplicationController(QObject *parent = nullptr);

    void awakeFromNib() override;

protected:
    // "Gender" (1 male, 2 female; absent: not set) goes to the document the
    // request filled. A patient's own file keeps its stored sex.
    void didFillFromLinkRequest(VantrelDocument *document,
                                const OsirixLinkRequest &request) override;
};
