#include "DCMTransferSyntax.h"

#include <dcmtk/dcmdata/dcuid.h>

DCMTransferSyntax DCMTransferSyntax::ExplicitVRLittleEndianTransferSyntax()
{
    return DCMTransferSyntax(QString::fromLatin1(UID_LittleEndianExplicitTransferSyntax));
}

DCMTransferSyntax DCMTransferSyntax::ImplicitVRLittleEndianTransferSyntax()
{
    return DCMTransferSyntax(QString::fromLatin1(UID_LittleEndianImplicitTransferSyntax));
}
