#include "CPublicFilesRoute.h"

#include "CFileBody.h"
#include "CSimKnobs.h"
#include "CSimStreamer.h"

#include <httplib.h>

#include <QDir>
#include <QFileInfo>

CPublicFilesRoute::CPublicFilesRoute(const QString& strFolder) : m_strFolder(strFolder) {}

QString CPublicFilesRoute::resolve(const QString& strFolder, const QString& strRelative)
{
    if (strFolder.isEmpty() || strRelative.isEmpty() || strRelative.contains(QLatin1Char('\\')) ||
        strRelative.contains(QChar(0))) {
        return QString();
    }
    const QStringList listParts = strRelative.split(QLatin1Char('/'));
    for (const QString& strPart : listParts) {
        if (strPart.isEmpty() || strPart == QLatin1String(".") || strPart == QLatin1String("..")) {
            return QString();
        }
    }
    const QString strRoot = QFileInfo(strFolder).canonicalFilePath();
    const QFileInfo file(QDir(strRoot).filePath(strRelative));
    // Links may point anywhere; only what really lies under the folder is served.
    const QString strReal = file.canonicalFilePath();
    if (strRoot.isEmpty() || !file.isFile() || !strReal.startsWith(strRoot + QLatin1Char('/'))) {
        return QString();
    }
    return strReal;
}

void CPublicFilesRoute::install(httplib::Server& server, const std::atomic_bool& bStopping)
{
    const QString strFolder = m_strFolder;
    const std::atomic_bool* pStopping = &bStopping;
    server.Get(R"(/public/([^?]+))", [strFolder, pStopping](const httplib::Request& request,
                                                            httplib::Response& response) {
        const CSimKnobs knobs = CSimKnobs::fromRequest(request);
        if (knobs.answerEarly(request, response)) {
            return;
        }
        const QString strPath = resolve(strFolder, QString::fromStdString(request.matches[1].str()));
        auto pBody = strPath.isEmpty() ? nullptr : std::make_shared<CFileBody>(strPath);
        if (!pBody || !pBody->isOpen()) {
            response.status = 404;
            response.set_content("not found\n", "text/plain");
            return;
        }
        CSimStreamer::serve(request, response, pBody, knobs, "application/octet-stream", *pStopping);
    });
}
