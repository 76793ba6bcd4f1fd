#pragma once

#include "VNL_Link.h"

// The plug-in's principal class. Its command starts (or brings forward)
// Maturix and sends it the patient of the image on show; chart returns from
// Maturix are imported on the main thread.
class MaturixLink : public VNL_Link
{
    Q_OBJECT

public:
    ~MaturixLink() override;

    void initPlugin() override;
    long filterImage(const QString &menuName) override;
    void notifiedOfLinkFromMaturix(const Notification &notification);

    // Maturix's bundle identifier, and the name of every link message.
    static QString applicationIdentifier();
    static QString linkNotificationName();
};
