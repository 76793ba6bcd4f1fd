#pragma once

#include "VantrelAppController.h"

// The application's own controller: patient documents of the "maturix"
// extension (unless the preferences name another).
class MaturixApplicationController : public VantrelAppController
{
    Q_OBJECT

public:
    explicit MaturixApplicationController(QObject *parent = nullptr);

    void awakeFromNib() override;
};
