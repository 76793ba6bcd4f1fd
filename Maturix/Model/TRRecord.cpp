#include "TRRecord.h"

TRRecord::TRRecord()
    : m_examDate(AbsoluteDate::now())
{
}

TRRecord::TRRecord(BlankTag) { }

TRRecord TRRecord::blank()
{
    return TRRecord(BlankTag {});
}

int TRRecord::compare(const TRRecord &other) const
{
    if (!m_examDate || !other.m_examDate)
        return int(!m_examDate) - int(!other.m_examDate);
    if (*m_examDate < *other.m_examDate)
        return -1;
    if (*other.m_examDate < *m_examDate)
        return 1;
    return 0;
}
