#pragma once

#include <QByteArray>
#include <QString>

// A document whose contents are a line of text, on any document base, for
// the tests of the document classes. Contents starting with "bad" are
// refused on reading; failWrites makes every write fail.
template<typename Base>
class TextDocument : public Base
{
public:
    using Base::Base;

    QByteArray text = "hello";
    bool failWrites = false;

    QByteArray dataRepresentationOfType(const QString &) override
    {
        return failWrites ? QByteArray() : text;
    }
    bool loadDataRepresentation(const QByteArray &data, const QString &) override
    {
        if (data.startsWith("bad"))
            return false;
        text = data;
        return true;
    }
};
