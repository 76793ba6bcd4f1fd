#pragma once

#include <QString>

// The keys of the user's preferences. The application controller registers
// their defaults at start; the windows that edit them and the documents that
// read them use these names, never their own spellings.
namespace PreferenceKeys {
inline const QString SaveDirectory = QStringLiteral("Save Directory");
inline const QString ExportDirectory = QStringLiteral("Export Directory");
inline const QString AutoSave = QStringLiteral("Auto Save");
inline const QString ExportToOsiriX = QStringLiteral("Export to OsiriX");
// The PACS target; "Export to OsiriX" keeps its meaning beside it.
inline const QString ExportToPACS = QStringLiteral("Export to PACS");
inline const QString PACSCalledAETitle = QStringLiteral("PACS AE Title");
inline const QString PACSHost = QStringLiteral("PACS Host");
inline const QString PACSPort = QStringLiteral("PACS Port");
inline const QString PACSCallingAETitle = QStringLiteral("PACS Calling AE Title");
// 0: studies are retrieved by C-GET; else by C-MOVE to this port of ours.
inline const QString PACSRetrievePort = QStringLiteral("PACS Retrieve Port");
inline const QString LaunchScript = QStringLiteral("Launch Script");
inline const QString AutomaticVersionCheck = QStringLiteral("Automatic Version Check");
inline const QString VersionCheckInterval = QStringLiteral("Version Check Interval");
inline const QString LastVersionCheckDate = QStringLiteral("Last Version Check Date");
inline const QString DataFileExtension = QStringLiteral("DataFile Extension");
inline const QString BatchExportDays = QStringLiteral("Batch Export Days");
inline const QString AutoDelete = QStringLiteral("Auto Delete");
// Off unless stored (an unregistered key reads as false). Open windows
// follow it at once: a change is posted as a notification of this name,
// with the new value as its object.
inline const QString BlindReading = QStringLiteral("Blind Reading");
// The report paragraph's template; empty or unstored means the built-in one.
inline const QString ReportTemplate = QStringLiteral("Report Template");
// Off unless stored: File > Export also writes each examination's structured
// report next to the chart's JPEG.
inline const QString ExportStructuredReport = QStringLiteral("Export Structured Report");
} // namespace PreferenceKeys
