#include "CWebClientRoute.h"

#include "CPublicFilesRoute.h"
#include "CSimKnobs.h"

#include <httplib.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace {

struct GeneratedOffer
{
    const char* pName;
    qint64 nSize;
    const char* pQuery;
};

// Always on offer, whatever the public folder holds; the paced one shows progress moving.
const GeneratedOffer kGeneratedOffers[] = {
    {"sample-1MiB.bin", 1048576, ""},
    {"sample-16MiB.bin", 16777216, ""},
    {"paced-8MiB.bin", 8388608, "?rate=1048576"},
};

// Enough for any demo folder; a huge folder must not make one answer huge.
constexpr int kMaxListedFiles = 1000;

// "http://<Host header>", or the address the connection came in on when the header is
// missing or odd.
QString baseUrlOf(const httplib::Request& request)
{
    static const QRegularExpression s_reHost(
        QStringLiteral(R"(^[A-Za-z0-9.\-]+(:\d{1,5})?$|^\[[0-9A-Fa-f:.]+\](:\d{1,5})?$)"));
    const QString strHost = QString::fromStdString(request.get_header_value("Host"));
    if (s_reHost.match(strHost).hasMatch()) {
        return QStringLiteral("http://") + strHost;
    }
    return QStringLiteral("http://%1:%2")
        .arg(QString::fromStdString(request.local_addr))
        .arg(request.local_port);
}

void serveFile(const QString& strPath, httplib::Response& response)
{
    QFile file(strPath);
    if (strPath.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        response.status = 404;
        response.set_content("not found\n", "text/plain");
        return;
    }
    const QByteArray baContent = file.readAll();
    // The page is edited while the simulator runs; a reload must show the new version.
    response.set_header("Cache-Control", "no-cache");
    response.set_content(baContent.constData(), static_cast<std::size_t>(baContent.size()),
                         CWebClientRoute::contentType(strPath));
}

}  // namespace

CWebClientRoute::CWebClientRoute(const QString& strWebFolder, const QString& strPublicFolder)
    : m_strWebFolder(strWebFolder), m_strPublicFolder(strPublicFolder)
{
}

const char* CWebClientRoute::contentType(const QString& strPath)
{
    const QString strSuffix = QFileInfo(strPath).suffix().toLower();
    if (strSuffix == QLatin1String("html")) {
        return "text/html; charset=utf-8";
    }
    if (strSuffix == QLatin1String("js")) {
        return "text/javascript; charset=utf-8";
    }
    if (strSuffix == QLatin1String("css")) {
        return "text/css; charset=utf-8";
    }
    if (strSuffix == QLatin1String("json")) {
        return "application/json";
    }
    if (strSuffix == QLatin1String("svg")) {
        return "image/svg+xml";
    }
    if (strSuffix == QLatin1String("png")) {
        return "image/png";
    }
    if (strSuffix == QLatin1String("md") || strSuffix == QLatin1String("txt")) {
        return "text/plain; charset=utf-8";
    }
    return "application/octet-stream";
}

QByteArray CWebClientRoute::fileList(const QString& strPublicFolder, const QString& strBaseUrl)
{
    QStringList listRelative;
    const QString strRoot = QFileInfo(strPublicFolder).canonicalFilePath();
    if (!strRoot.isEmpty()) {
        QDirIterator it(strRoot, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext() && listRelative.size() < kMaxListedFiles) {
            const QString strRelative = QDir(strRoot).relativeFilePath(it.next());
            // Only what the public route really serves; its address pattern stops at "?".
            if (!strRelative.contains(QLatin1Char('?')) &&
                !CPublicFilesRoute::resolve(strRoot, strRelative).isEmpty()) {
                listRelative << strRelative;
            }
        }
    }
    listRelative.sort();

    QJsonArray arrFiles;
    for (const QString& strRelative : qAsConst(listRelative)) {
        const QFileInfo info(QDir(strRoot).filePath(strRelative));
        QJsonObject file;
        file.insert(QStringLiteral("name"), info.fileName());
        file.insert(QStringLiteral("url"),
                    strBaseUrl + QStringLiteral("/public/") +
                        QString::fromLatin1(strRelative.toUtf8().toPercentEncoding("/")));
        file.insert(QStringLiteral("size"), info.size());
        arrFiles.append(file);
    }
    for (const GeneratedOffer& offer : kGeneratedOffers) {
        QJsonObject file;
        file.insert(QStringLiteral("name"), QLatin1String(offer.pName));
        file.insert(QStringLiteral("url"),
                    strBaseUrl + QStringLiteral("/generated/%1/%2%3")
                                     .arg(offer.nSize)
                                     .arg(QLatin1String(offer.pName), QLatin1String(offer.pQuery)));
        file.insert(QStringLiteral("size"), offer.nSize);
        arrFiles.append(file);
    }
    return QJsonDocument(arrFiles).toJson(QJsonDocument::Compact);
}

void CWebClientRoute::install(httplib::Server& server, const std::atomic_bool& /*bStopping*/)
{
    const QString strWebFolder = m_strWebFolder;
    const QString strPublicFolder = m_strPublicFolder;

    // The page itself first: the asset pattern below would also match its address.
    server.Get("/client/base/client/downloadCenter", [strWebFolder](const httplib::Request& /*request*/,
                                                                    httplib::Response& response) {
        serveFile(CPublicFilesRoute::resolve(strWebFolder, QStringLiteral("index.html")), response);
    });
    server.Get(R"(/client/base/client/([^?]+))", [strWebFolder](const httplib::Request& request,
                                                                httplib::Response& response) {
        serveFile(CPublicFilesRoute::resolve(strWebFolder, QString::fromStdString(request.matches[1].str())),
                  response);
    });
    server.Get("/client/api/files", [strPublicFolder](const httplib::Request& request,
                                                      httplib::Response& response) {
        const CSimKnobs knobs = CSimKnobs::fromRequest(request);
        if (knobs.answerEarly(request, response)) {
            return;
        }
        const QByteArray baList = fileList(strPublicFolder, baseUrlOf(request));
        response.set_header("Cache-Control", "no-store");
        response.set_content(baList.constData(), static_cast<std::size_t>(baList.size()), "application/json");
    });
}
