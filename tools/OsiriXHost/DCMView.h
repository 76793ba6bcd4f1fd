#pragma once

#include <QObject>

// The image view of a viewer: which of the viewer's images is on show.
class DCMView : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    qint16 curImage() const { return m_curImage; }
    void setIndex(qint16 index);

signals:
    void curImageChanged(qint16 index);

private:
    qint16 m_curImage = 0;
};
