#include "DCMView.h"

void DCMView::setIndex(qint16 index)
{
    if (index == m_curImage)
        return;
    m_curImage = index;
    emit curImageChanged(index);
}
