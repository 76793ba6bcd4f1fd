#pragma once

#include <QString>

// A DICOM transfer syntax, known by its UID.
class DCMTransferSyntax
{
public:
    static DCMTransferSyntax ExplicitVRLittleEndianTransferSyntax();
    static DCMTransferSyntax ImplicitVRLittleEndianTransferSyntax();

    explicit DCMTransferSyntax(const QString &uid)
        : m_uid(uid)
    {
    }

    QString transferSyntax() const { return m_uid; }
    bool operator==(const DCMTransferSyntax &other) const { return m_uid == other.m_uid; }

private:
    QString m_uid;
};
