#pragma once

#include "PacsAddress.h"
#include "PacsResult.h"

class DcmSCU;
class OFCondition;

// The steps every request to a PACS shares, on a DcmSCU of the caller's
// (plain, or one that handles incoming objects): who we are and whom we call
// with our timeouts, and the association's outcome as a reason a user can
// act on. The presentation contexts are the caller's.
class PacsAssociation
{
public:
    static void configure(DcmSCU &scu, const PacsAddress &address);
    // Negotiates the association proposed on `scu`.
    static PacsResult negotiate(DcmSCU &scu, const PacsAddress &address);
    // Aborts the association after `condition` and says so.
    static PacsResult lost(DcmSCU &scu, const PacsAddress &address, const OFCondition &condition);
    // Releases the association if it is still open.
    static void close(DcmSCU &scu);
};
