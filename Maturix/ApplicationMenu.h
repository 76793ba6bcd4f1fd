#pragma once

class Document;
class DocumentController;

// The menus of a patient window: File (New, Open, Save, Save As, Close,
// Quit) and Examination (New, Delete, Previous, Next).
class ApplicationMenu
{
public:
    // Gives every document's window its menu bar as the document is added.
    static void installForDocuments(DocumentController *controller);
    static void installInWindow(Document *document, DocumentController *controller);
};
