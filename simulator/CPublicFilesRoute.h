#pragma once

#include "CSimRoute.h"

#include <QString>

// GET /public/<relative path>: the files of one folder, as they are on disk, with the knobs
// of CSimKnobs. Paths that leave the folder, folders and missing files answer 404.
class CPublicFilesRoute : public CSimRoute
{
public:
    explicit CPublicFilesRoute(const QString& strFolder);

    void install(httplib::Server& server, const std::atomic_bool& bStopping) override;

    // The file that strRelative names inside strFolder, or "" when there is none.
    static QString resolve(const QString& strFolder, const QString& strRelative);

private:
    QString m_strFolder;
};
