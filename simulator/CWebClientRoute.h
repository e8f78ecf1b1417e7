#pragma once

#include "CSimRoute.h"

#include <QByteArray>
#include <QString>

// The platform's web client as far as the download centre needs it:
//   GET /client/base/client/downloadCenter  the download-centre page (index.html of the web folder)
//   GET /client/base/client/<file>          the page's assets, from the same folder
//   GET /client/api/files                   the files offered for download, as JSON:
//       [{"name": "a.bin", "url": "http://127.0.0.1:<port>/public/a.bin", "size": 1234}, ...]
//       the files of the public folder (as CPublicFilesRoute serves them) and a few generated
//       bodies, addressed on the host the request came to. The knobs "status" and "redirect"
//       apply to the list.
class CWebClientRoute : public CSimRoute
{
public:
    CWebClientRoute(const QString& strWebFolder, const QString& strPublicFolder);

    void install(httplib::Server& server, const std::atomic_bool& bStopping) override;

    // The list /client/api/files answers, with strBaseUrl ("http://host:port") in front of
    // every address.
    static QByteArray fileList(const QString& strPublicFolder, const QString& strBaseUrl);
    // Content type by file extension; unknown ones are served as bytes.
    static const char* contentType(const QString& strPath);

private:
    QString m_strWebFolder;
    QString m_strPublicFolder;
};
