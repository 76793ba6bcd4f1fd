#pragma once

#include <QString>

// Where studies retrieved from the PACS are kept: a private folder under
// the user's cache folder, one subfolder per study. Studies are kept only
// for a while, so the folder does not grow without end.
class RetrievedStudyCache
{
public:
    static constexpr int keptDays = 7;

    // The cache folder itself, created when needed.
    static QString folder();
    // The study's folder, emptied of an earlier, possibly partial, copy.
    static QString folderForStudy(const QString &studyInstanceUID);
    // Removes the studies retrieved more than `keptDays` days ago.
    static void removeOldStudies();
};
