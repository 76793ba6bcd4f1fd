#pragma once

class Document;
class VantrelAppController;

// The menu bar of a patient window, laid out as on the Linux desktop:
// File (New, Open, Save, Save As, Export, Batch Export, Print, Close, Close
// All, Quit), Examination (New, Delete, Previous, Next, Copy Report), Settings
// (Preferences) and Help (help, web site, support mail, update check, About). Commands of the
// controller are validated by it each time their menu opens.
class ApplicationMenu
{
public:
    // Gives every document's window its menu bar as the document is added.
    static void installForDocuments(VantrelAppController *controller);
    static void installInWindow(Document *document, VantrelAppController *controller);
};
