#include "CDownloadByPublicUrl.h"
#include "FuzzProcess.h"

#include <QJsonDocument>

// The public-URL payloads, as the window hands them to the job runner: the first byte picks add,
// status or open, the rest is the JSON params. Every status message must be JSON the page reads.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    static int nInputs = 0;
    static CDownloadByPublicUrl* pRunner = nullptr;
    // A fresh runner now and then: jobs are never dropped, and every status message lists them all.
    if (nInputs++ % 10000 == 0) {
        delete pRunner;
        pRunner = new CDownloadByPublicUrl;
        QObject::connect(pRunner, &CDownloadByPublicUrl::sgnUpdateDownloadTasksStatus,
                         [](QString& strStatus) {
                             if (!QJsonDocument::fromJson(strStatus.toUtf8()).isObject()) {
                                 qFatal("status message is not a JSON object: %s", qUtf8Printable(strStatus));
                             }
                         });
    }
    const int nPick = nSize > 0 ? pData[0] % 3 : 0;
    const QJsonObject params =
        QJsonDocument::fromJson(
            QString::fromUtf8(reinterpret_cast<const char*>(pData), int(nSize)).mid(1).toUtf8())
            .object();
    if (nPick == 0) {
        pRunner->addDownloadTasksByPublicUrl(params);
    } else if (nPick == 1) {
        pRunner->getDownloadTasksByPublicUrlStatus(params);
    } else {
        pRunner->openDownloadFiledir(params);
    }
    fuzz::settle();
    return 0;
}
