#pragma once

#include "VantrelExport.h"

#include "KVGraphView.h"

#include <QPointer>

#include "VantrelDocument.h"

// A chart that belongs to a record document: a click anywhere in it is
// turned into data coordinates and handed to the document, which picks the
// examination. It draws nothing of its own; subclasses draw.
class VANTREL_EXPORT VantrelGraphView : public KVGraphView
{
    Q_OBJECT

public:
    explicit VantrelGraphView(QWidget *parent = nullptr);

    // Not owned; the document connects itself when its window is loaded.
    VantrelDocument *owningDocument() const { return m_owningDocument.data(); }
    void setOwningDocument(VantrelDocument *document) { m_owningDocument = document; }

protected:
    // No hit test and no tolerance: every click, also in the margins or the
    // legend, reaches the document, mapped with the plotting area of the
    // last draw.
    void mousePressEvent(QMouseEvent *event) override;

private:
    QPointer<VantrelDocument> m_owningDocument;
};
