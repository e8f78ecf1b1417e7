#include <hostservices/ClientSettings.h>
#include <hostservices/NetworkManager.h>
#include <hostservices/NetworkManagerListener.h>

#include "RedirectRule.h"

#include <curl/curl.h>

#include <QElapsedTimer>
#include <QHash>
#include <QLoggingCategory>
#include <QNetworkReply>
#include <QSocketNotifier>
#include <QTimer>
#include <QUrl>
#include <QVector>

#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>

Q_LOGGING_CATEGORY(lcNetwork, "hostservices.network")

// libcurl, driven from the thread's own event loop, rather than Qt's HTTP client: Qt 5 reads
// every response header from its plain-HTTP socket one byte per system call (about 130 calls a
// file) and passes each piece through a thread of its own, which made many small files slow.

namespace Common {

namespace {

// The most curl reads from a socket at once, and the piece the listener gets: curl hands its
// data over in 16 KiB steps, which are gathered first so that the file takes few large writes.
// A full piece goes to the listener before curl reads on, so memory stays flat whatever the size
// of the file: what the disk cannot take yet waits in the kernel's socket buffers.
constexpr long kPieceBytes = 512 * 1024;
// Connections kept per host; more requests for a host wait inside curl for a free one.
constexpr long kConnectionsPerHost = 6;
// Ended transfers kept for the next ones.
constexpr size_t kSpareTransfers = 16;
// Progress is reported at most this often (plus once at the end), so that the listener's
// bookkeeping never weighs on a fast transfer.
constexpr qint64 kReportIntervalMs = 100;
constexpr int kMaxRedirects = 10;
// Seconds without a byte after which a transfer fails; the setting overrides it.
constexpr double kDefaultStallSeconds = 30.0;
const char* const kStallSecondsKey = "Network/StallTimeout";

int stallTimeoutMs()
{
    bool bOk = false;
    const double fSeconds =
        ConfigInfo::ClientSettings::value(QString::fromLatin1(kStallSecondsKey), kDefaultStallSeconds)
            .toDouble(&bOk);
    if (!bOk || !(fSeconds > 0.0) || fSeconds > 24.0 * 3600.0) {
        return static_cast<int>(kDefaultStallSeconds * 1000);
    }
    return qMax(1, static_cast<int>(fSeconds * 1000));
}

bool isSuccessStatus(long nStatus)
{
    return nStatus >= 200 && nStatus <= 299;
}

// The listener hears the same error codes as from the client's other transfers.
qint64 errorCode(CURLcode eResult)
{
    switch (eResult) {
        case CURLE_COULDNT_CONNECT:
            return QNetworkReply::ConnectionRefusedError;
        case CURLE_COULDNT_RESOLVE_HOST:
            return QNetworkReply::HostNotFoundError;
        case CURLE_OPERATION_TIMEDOUT:
            return QNetworkReply::TimeoutError;
        case CURLE_PARTIAL_FILE:
        case CURLE_GOT_NOTHING:
        case CURLE_RECV_ERROR:
        case CURLE_SEND_ERROR:
            return QNetworkReply::RemoteHostClosedError;
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_CERTPROBLEM:
            return QNetworkReply::SslHandshakeFailedError;
        case CURLE_UNSUPPORTED_PROTOCOL:
            return QNetworkReply::ProtocolUnknownError;
        default:
            return QNetworkReply::UnknownNetworkError;
    }
}

}  // namespace

class NetworkManagerPrivate;

// One request in flight.
struct Transfer
{
    NetworkManagerPrivate* pOwner = nullptr;
    CURL* pEasy = nullptr;
    quint64 nSerial = 0;  // tells a transfer from a later one that reuses its handle
    QString strTaskId;
    QString strUrl;          // the address asked now
    qint64 nUnreported = 0;  // bytes handed over since the last progress report
    qint64 nDelivered = 0;   // bytes handed over in all
    QElapsedTimer lastReport;
    QElapsedTimer lastData;  // since the request or its last byte
    bool bAnswered = false;  // headers or bytes have come
    bool bDropped = false;   // ended while curl was busy; let go of once it returns
    QByteArray baPiece;      // body gathered for the listener
    QString strHost;         // host and port now asked
    int nTimeoutMs = 0;
    int nRedirects = 0;  // redirects followed so far
    char szError[CURL_ERROR_SIZE] = {};
};

class NetworkManagerPrivate
{
public:
    explicit NetworkManagerPrivate(NetworkManager* pOwner) : m_pOwner(pOwner) {}

    NetworkManager* m_pOwner = nullptr;
    CURLM* m_pMulti = nullptr;
    curl_slist* m_pHeaders = nullptr;
    NetworkManagerListener* m_pListener = nullptr;
    std::unordered_map<CURL*, std::unique_ptr<Transfer>> m_mapTransfers;
    // When each host last sent anything: requests waiting inside curl for a connection are not
    // stalled while their host keeps sending.
    QHash<QString, QElapsedTimer> m_hashHostActive;
    QHash<curl_socket_t, QSocketNotifier*> m_hashReadWatch;
    QHash<curl_socket_t, QSocketNotifier*> m_hashWriteWatch;
    QTimer* m_pCurlTimer = nullptr;
    QTimer* m_pStallCheck = nullptr;
    // curl may not be entered again from its own callbacks, where a full piece reaches the
    // listener: what the listener starts or ends meanwhile is done once curl has returned.
    int m_nInCurl = 0;
    QVector<CURL*> m_listToAdd;
    bool m_bDroppedInCurl = false;
    QVector<CURL*> m_listGathering;  // transfers with a piece not yet handed over
    std::vector<std::unique_ptr<Transfer>> m_listSpare;
    quint64 m_nSerials = 0;
    int m_nStallMs = 0;
    QElapsedTimer m_stallRead;  // when the stall time was last read from the settings

    Transfer* find(CURL* pEasy) const
    {
        const auto it = m_mapTransfers.find(pEasy);
        return it == m_mapTransfers.end() || it->second->bDropped ? nullptr : it->second.get();
    }

    // Whether the transfer is still on after a call into the listener, which may have ended it
    // and started another on the same handle.
    bool isOn(CURL* pEasy, quint64 nSerial) const
    {
        const Transfer* pTransfer = find(pEasy);
        return pTransfer != nullptr && pTransfer->nSerial == nSerial;
    }

    QList<CURL*> handles() const
    {
        QList<CURL*> listHandles;
        for (const auto& entry : m_mapTransfers) {
            if (!entry.second->bDropped) {
                listHandles << entry.first;
            }
        }
        return listHandles;
    }

    void noteData(Transfer* pTransfer)
    {
        pTransfer->bAnswered = true;
        pTransfer->lastData.restart();
        m_hashHostActive[pTransfer->strHost].restart();
    }

    // Ends the transfers that have had nothing for their stall time; counted for a request
    // not yet answered from the last time its host sent anything, if that is later.
    void checkStalls()
    {
        if (m_nInCurl > 0) {
            return;  // a listener's own event loop inside a callback: next time
        }
        const QList<CURL*> listHandles = handles();
        for (CURL* pEasy : listHandles) {
            Transfer* pTransfer = find(pEasy);
            if (pTransfer == nullptr) {
                continue;
            }
            qint64 nIdleMs = pTransfer->lastData.elapsed();
            const auto itHost = m_hashHostActive.constFind(pTransfer->strHost);
            if (!pTransfer->bAnswered && itHost != m_hashHostActive.constEnd()) {
                nIdleMs = qMin(nIdleMs, itHost->elapsed());
            }
            if (nIdleMs > pTransfer->nTimeoutMs) {
                fail(pTransfer, QNetworkReply::TimeoutError,
                     QStringLiteral("no data received for %1 ms").arg(pTransfer->nTimeoutMs));
            }
        }
        if (m_mapTransfers.empty()) {
            m_pStallCheck->stop();
            m_hashHostActive.clear();
        }
    }

    long status(const Transfer* pTransfer) const
    {
        long nStatus = 0;
        curl_easy_getinfo(pTransfer->pEasy, CURLINFO_RESPONSE_CODE, &nStatus);
        return nStatus;
    }

    // The size of the body as the server announced it, -1 when it did not say.
    qint64 announcedLength(const Transfer* pTransfer) const
    {
        curl_off_t nLength = -1;
        curl_easy_getinfo(pTransfer->pEasy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &nLength);
        return nLength;
    }

    NetworkReplyData makeData(const Transfer* pTransfer, const QByteArray& baData) const
    {
        NetworkReplyData data;
        data.baData = baData;
        data.nHttpStatus = static_cast<int>(status(pTransfer));
        data.strUrl = pTransfer->strUrl;
        return data;
    }

    // Lets curl go of a transfer and forgets it; the listener hears nothing.
    void release(CURL* pEasy)
    {
        m_listToAdd.removeAll(pEasy);
        curl_multi_remove_handle(m_pMulti, pEasy);
        const auto it = m_mapTransfers.find(pEasy);
        if (it == m_mapTransfers.end()) {
            return;
        }
        std::unique_ptr<Transfer> pTransfer = std::move(it->second);
        m_mapTransfers.erase(it);
        if (m_listSpare.size() >= kSpareTransfers) {
            curl_easy_cleanup(pEasy);
            return;
        }
        // Kept with its handle and buffers, which would otherwise be paged in anew for each file.
        QByteArray baPiece = std::move(pTransfer->baPiece);
        baPiece.resize(0);
        *pTransfer = Transfer();
        pTransfer->pEasy = pEasy;
        pTransfer->baPiece = std::move(baPiece);
        m_listSpare.push_back(std::move(pTransfer));
    }

    // Ends a transfer without telling the listener.
    void drop(Transfer* pTransfer)
    {
        if (m_nInCurl > 0) {
            // Its next piece of data ends it inside curl; released once curl returns.
            pTransfer->bDropped = true;
            m_bDroppedInCurl = true;
            return;
        }
        release(pTransfer->pEasy);
    }

    void dropAll()
    {
        const QList<CURL*> listHandles = handles();
        for (CURL* pEasy : listHandles) {
            drop(find(pEasy));
        }
    }

    void dropTask(const QString& strTaskId)
    {
        const QList<CURL*> listHandles = handles();
        for (CURL* pEasy : listHandles) {
            Transfer* pTransfer = find(pEasy);
            if (pTransfer != nullptr && pTransfer->strTaskId == strTaskId) {
                drop(pTransfer);
            }
        }
    }

    // Hands the gathered piece to the listener; false when the transfer ended meanwhile (the
    // listener may start, stop or replace requests from inside its callbacks).
    bool handOver(Transfer* pTransfer)
    {
        if (m_pListener == nullptr) {
            return false;
        }
        if (pTransfer->baPiece.isEmpty()) {
            return true;
        }
        const quint64 nSerial = pTransfer->nSerial;
        const qint64 nBytes = pTransfer->baPiece.size();
        pTransfer->nUnreported += nBytes;
        pTransfer->nDelivered += nBytes;
        m_pListener->onNetworkReadyRead(makeData(pTransfer, pTransfer->baPiece), pTransfer->strTaskId);
        if (!isOn(pTransfer->pEasy, nSerial)) {
            return false;
        }
        // Keeps its room for the next piece, unless the listener kept this one.
        pTransfer->baPiece.resize(0);
        return report(pTransfer, false);
    }

    bool report(Transfer* pTransfer, bool bFinal)
    {
        if (m_pListener == nullptr) {
            return false;
        }
        if (!bFinal && (pTransfer->nUnreported == 0 || pTransfer->lastReport.elapsed() < kReportIntervalMs)) {
            return true;
        }
        const quint64 nSerial = pTransfer->nSerial;
        const qint64 nChunk = pTransfer->nUnreported;
        pTransfer->nUnreported = 0;
        pTransfer->lastReport.restart();
        m_pListener->onNetworkProgress(qMax<qint64>(0, announcedLength(pTransfer)), nChunk,
                                       pTransfer->strTaskId);
        return isOn(pTransfer->pEasy, nSerial);
    }

    // A piece of the body, from inside curl: gathered, and a full piece handed over at once.
    // Answering less than its size ends the transfer.
    size_t onBody(Transfer* pTransfer, const char* pData, size_t nBytes)
    {
        if (pTransfer->bDropped) {
            return 0;
        }
        if (pTransfer->baPiece.size() + static_cast<qint64>(nBytes) > kPieceBytes && !handOver(pTransfer)) {
            return 0;
        }
        if (pTransfer->baPiece.isEmpty()) {
            // Once a piece: the clock is read once for a turn of curl's, not for every 16 KiB.
            noteData(pTransfer);
            // Bodies of error pages and redirects are not the file.
            if (!isSuccessStatus(status(pTransfer))) {
                return nBytes;
            }
            pTransfer->baPiece.reserve(static_cast<int>(kPieceBytes));
            m_listGathering << pTransfer->pEasy;
        }
        pTransfer->baPiece.append(pData, static_cast<int>(nBytes));
        return nBytes;
    }

    // Redirects are followed here rather than by curl, so that each hop is checked: no step
    // down from https, nothing but http and https. True when the transfer ended here.
    bool followRedirect(Transfer* pTransfer, long nStatus)
    {
        if (nStatus != 301 && nStatus != 302 && nStatus != 303 && nStatus != 307 && nStatus != 308) {
            return false;
        }
        char* pszLocation = nullptr;
        curl_easy_getinfo(pTransfer->pEasy, CURLINFO_REDIRECT_URL, &pszLocation);
        const QUrl location =
            pszLocation == nullptr ? QUrl() : QUrl(QString::fromUtf8(pszLocation), QUrl::StrictMode);
        QString strWhy;
        if (!location.isValid() || location.host().isEmpty()) {
            strWhy = QStringLiteral("a redirect without a usable address");
        } else if (pTransfer->nRedirects >= kMaxRedirects) {
            strWhy = QStringLiteral("more than %1 redirects").arg(kMaxRedirects);
        } else if (!isRedirectAllowed(QUrl(pTransfer->strUrl), location)) {
            strWhy = QStringLiteral("a redirect to a less safe or unknown scheme");
        }
        if (!strWhy.isEmpty()) {
            fail(pTransfer, QNetworkReply::ProtocolUnknownError, strWhy);
            return true;
        }
        Transfer next;
        next.strTaskId = pTransfer->strTaskId;
        next.nTimeoutMs = pTransfer->nTimeoutMs;
        next.nRedirects = pTransfer->nRedirects + 1;
        release(pTransfer->pEasy);
        start(location, next);
        return true;
    }

    void fail(Transfer* pTransfer, qint64 nCode, const QString& strError)
    {
        const QString strTaskId = pTransfer->strTaskId;
        qCInfo(lcNetwork, "transfer %s failed: %s", qUtf8Printable(strTaskId), qUtf8Printable(strError));
        release(pTransfer->pEasy);
        if (m_pListener != nullptr) {
            m_pListener->onNetworkError(nCode, strError, strTaskId);
        }
    }

    // A transfer curl has ended; outside curl.
    void onDone(Transfer* pTransfer, CURLcode eResult)
    {
        const long nStatus = status(pTransfer);
        if (eResult == CURLE_OK && followRedirect(pTransfer, nStatus)) {
            return;
        }
        if (eResult == CURLE_OK && isSuccessStatus(nStatus)) {
            // curl itself fails a body shorter than announced (a partial file).
            if (!report(pTransfer, true)) {
                return;
            }
            const NetworkReplyData data = makeData(pTransfer, QByteArray());
            const QString strTaskId = pTransfer->strTaskId;
            release(pTransfer->pEasy);
            if (m_pListener != nullptr) {
                m_pListener->onNetworkFinished(data, strTaskId);
            }
            return;
        }
        if (eResult == CURLE_OK) {
            // Not an error for curl, but no file either (an error page, a redirect not followed).
            fail(pTransfer, nStatus, QStringLiteral("unexpected HTTP status %1").arg(nStatus));
            return;
        }
        const qint64 nAnnounced = announcedLength(pTransfer);
        QString strError;
        if (eResult == CURLE_PARTIAL_FILE && nAnnounced >= 0) {
            strError = QStringLiteral("connection closed after %1 of %2 bytes")
                           .arg(pTransfer->nDelivered)
                           .arg(nAnnounced);
        } else {
            strError = QString::fromUtf8(pTransfer->szError[0] != '\0' ? pTransfer->szError
                                                                       : curl_easy_strerror(eResult));
        }
        fail(pTransfer, errorCode(eResult), strError);
    }

    // Runs curl on a socket that is ready, or on its timeout; then does what had to wait, hands
    // over what came and tells of what ended.
    void act(curl_socket_t nSocket, int nEvents)
    {
        if (m_nInCurl > 0) {
            // A listener's own event loop inside a callback: curl is busy, so again soon.
            m_pCurlTimer->start(10);
            return;
        }
        int nRunning = 0;
        ++m_nInCurl;
        curl_multi_socket_action(m_pMulti, nSocket, nEvents, &nRunning);
        --m_nInCurl;
        if (std::exchange(m_bDroppedInCurl, false)) {
            QList<CURL*> listDropped;
            for (const auto& entry : m_mapTransfers) {
                if (entry.second->bDropped) {
                    listDropped << entry.first;
                }
            }
            for (CURL* pEasy : listDropped) {
                release(pEasy);
            }
        }
        const QVector<CURL*> listToAdd = std::exchange(m_listToAdd, {});
        for (CURL* pEasy : listToAdd) {
            add(pEasy);
        }
        // In the order it came.
        const QVector<CURL*> listGathering = std::exchange(m_listGathering, {});
        for (CURL* pEasy : listGathering) {
            if (Transfer* pTransfer = find(pEasy)) {
                handOver(pTransfer);
            }
        }
        // One at a time: a transfer the listener ends meanwhile takes its message with it.
        int nLeft = 0;
        while (CURLMsg* pMessage = curl_multi_info_read(m_pMulti, &nLeft)) {
            CURL* pEasy = pMessage->easy_handle;
            const CURLcode eResult = pMessage->data.result;
            Transfer* pTransfer = find(pEasy);
            if (pMessage->msg == CURLMSG_DONE && pTransfer != nullptr) {
                onDone(pTransfer, eResult);
            }
        }
    }

    void add(CURL* pEasy)
    {
        Transfer* pTransfer = find(pEasy);
        if (pTransfer == nullptr) {
            return;
        }
        const CURLMcode eResult = curl_multi_add_handle(m_pMulti, pEasy);
        if (eResult != CURLM_OK) {
            const QString strTaskId = pTransfer->strTaskId;
            release(pEasy);
            refuse(strTaskId, QString::fromUtf8(curl_multi_strerror(eResult)));
        }
    }

    // A new transfer, or a spare one with its handle set up already.
    std::unique_ptr<Transfer> newTransfer()
    {
        if (!m_listSpare.empty()) {
            std::unique_ptr<Transfer> pTransfer = std::move(m_listSpare.back());
            m_listSpare.pop_back();
            return pTransfer;
        }
        CURL* pEasy = curl_easy_init();
        if (pEasy == nullptr) {
            return nullptr;
        }
        auto pTransfer = std::make_unique<Transfer>();
        pTransfer->pEasy = pEasy;
        curl_easy_setopt(pEasy, CURLOPT_PROTOCOLS_STR, "http,https");
        // As the client's own transfers: no proxy from the environment.
        curl_easy_setopt(pEasy, CURLOPT_PROXY, "");
        curl_easy_setopt(pEasy, CURLOPT_NOSIGNAL, 1L);
        // The file as the server has it: no transparent decompression.
        curl_easy_setopt(pEasy, CURLOPT_HTTPHEADER, m_pHeaders);
        curl_easy_setopt(pEasy, CURLOPT_BUFFERSIZE, kPieceBytes);
        curl_easy_setopt(pEasy, CURLOPT_ERRORBUFFER, pTransfer->szError);
        curl_easy_setopt(pEasy, CURLOPT_WRITEFUNCTION, &NetworkManagerPrivate::bodyCallback);
        curl_easy_setopt(pEasy, CURLOPT_WRITEDATA, pTransfer.get());
        curl_easy_setopt(pEasy, CURLOPT_HEADERFUNCTION, &NetworkManagerPrivate::headerCallback);
        curl_easy_setopt(pEasy, CURLOPT_HEADERDATA, pTransfer.get());
        return pTransfer;
    }

    void start(const QUrl& address, const Transfer& from)
    {
        std::unique_ptr<Transfer> pTransfer = newTransfer();
        if (pTransfer == nullptr) {
            refuse(from.strTaskId, QStringLiteral("no memory for a transfer"));
            return;
        }
        CURL* pEasy = pTransfer->pEasy;
        pTransfer->pOwner = this;
        pTransfer->nSerial = ++m_nSerials;
        pTransfer->strTaskId = from.strTaskId;
        pTransfer->nTimeoutMs = from.nTimeoutMs;
        pTransfer->nRedirects = from.nRedirects;
        pTransfer->strUrl = address.toString();
        pTransfer->strHost = address.host() + QLatin1Char(':') + QString::number(address.port(0));
        pTransfer->lastReport.start();
        pTransfer->lastData.start();

        // curl copies the strings it is given.
        curl_easy_setopt(pEasy, CURLOPT_URL, address.toEncoded().constData());
        m_mapTransfers[pEasy] = std::move(pTransfer);

        if (!m_pStallCheck->isActive()) {
            // A few checks within the stall time, at most one a second.
            m_pStallCheck->start(qBound(10, from.nTimeoutMs / 4, 1000));
        }
        if (m_nInCurl > 0) {
            m_listToAdd << pEasy;
        } else {
            add(pEasy);
        }
    }

    void refuse(const QString& strTaskId, const QString& strError)
    {
        qCInfo(lcNetwork, "request %s refused: %s", qUtf8Printable(strTaskId), qUtf8Printable(strError));
        NetworkManagerListener* pTo = m_pListener;
        // Later, never from inside the caller's own request.
        QMetaObject::invokeMethod(
            m_pOwner,
            [this, pTo, strTaskId, strError] {
                if (m_pListener != nullptr && m_pListener == pTo) {
                    m_pListener->onNetworkError(QNetworkReply::ProtocolUnknownError, strError, strTaskId);
                }
            },
            Qt::QueuedConnection);
    }

    // Watches a socket as curl asks: for reading, writing, both or no more.
    void watch(curl_socket_t nSocket, int nWhat)
    {
        setWatch(m_hashReadWatch, nSocket, QSocketNotifier::Read,
                 nWhat == CURL_POLL_IN || nWhat == CURL_POLL_INOUT);
        setWatch(m_hashWriteWatch, nSocket, QSocketNotifier::Write,
                 nWhat == CURL_POLL_OUT || nWhat == CURL_POLL_INOUT);
    }

    void setWatch(QHash<curl_socket_t, QSocketNotifier*>& hashWatch, curl_socket_t nSocket,
                  QSocketNotifier::Type eType, bool bOn)
    {
        QSocketNotifier* pNotifier = hashWatch.value(nSocket);
        if (!bOn) {
            if (pNotifier != nullptr) {
                // It may be the one whose signal runs curl now.
                pNotifier->setEnabled(false);
                pNotifier->deleteLater();
                hashWatch.remove(nSocket);
            }
            return;
        }
        if (pNotifier == nullptr) {
            pNotifier = new QSocketNotifier(nSocket, eType, m_pOwner);
            const int nEvent = eType == QSocketNotifier::Read ? CURL_CSELECT_IN : CURL_CSELECT_OUT;
            QObject::connect(pNotifier, &QSocketNotifier::activated, m_pOwner,
                             [this, nSocket, nEvent] { act(nSocket, nEvent); });
            hashWatch.insert(nSocket, pNotifier);
        }
        pNotifier->setEnabled(true);
    }

    static size_t bodyCallback(char* pData, size_t nSize, size_t nCount, void* pUser)
    {
        auto* pTransfer = static_cast<Transfer*>(pUser);
        return pTransfer->pOwner->onBody(pTransfer, pData, nSize * nCount);
    }

    static size_t headerCallback(char*, size_t nSize, size_t nCount, void* pUser)
    {
        auto* pTransfer = static_cast<Transfer*>(pUser);
        if (!pTransfer->bDropped) {
            pTransfer->pOwner->noteData(pTransfer);
        }
        return nSize * nCount;
    }

    static int socketCallback(CURL*, curl_socket_t nSocket, int nWhat, void* pUser, void*)
    {
        static_cast<NetworkManagerPrivate*>(pUser)->watch(nSocket, nWhat);
        return 0;
    }

    static int timerCallback(CURLM*, long nTimeoutMs, void* pUser)
    {
        QTimer* pTimer = static_cast<NetworkManagerPrivate*>(pUser)->m_pCurlTimer;
        if (nTimeoutMs < 0) {
            pTimer->stop();
        } else {
            pTimer->start(static_cast<int>(qMin<long>(nTimeoutMs, 24L * 3600 * 1000)));
        }
        return 0;
    }
};

NetworkManager::NetworkManager() : d(new NetworkManagerPrivate(this))
{
    static std::once_flag s_curlReady;
    std::call_once(s_curlReady, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });

    d->m_pMulti = curl_multi_init();
    curl_multi_setopt(d->m_pMulti, CURLMOPT_SOCKETFUNCTION, &NetworkManagerPrivate::socketCallback);
    curl_multi_setopt(d->m_pMulti, CURLMOPT_SOCKETDATA, d);
    curl_multi_setopt(d->m_pMulti, CURLMOPT_TIMERFUNCTION, &NetworkManagerPrivate::timerCallback);
    curl_multi_setopt(d->m_pMulti, CURLMOPT_TIMERDATA, d);
    curl_multi_setopt(d->m_pMulti, CURLMOPT_MAX_HOST_CONNECTIONS, kConnectionsPerHost);
    d->m_pHeaders = curl_slist_append(nullptr, "Accept-Encoding: identity");

    d->m_pCurlTimer = new QTimer(this);
    d->m_pCurlTimer->setSingleShot(true);
    connect(d->m_pCurlTimer, &QTimer::timeout, this, [this] { d->act(CURL_SOCKET_TIMEOUT, 0); });
    d->m_pStallCheck = new QTimer(this);
    connect(d->m_pStallCheck, &QTimer::timeout, this, [this] { d->checkStalls(); });
}

NetworkManager::~NetworkManager()
{
    // Not from inside a listener callback: the manager is released with deleteLater().
    for (const auto& entry : d->m_mapTransfers) {
        curl_multi_remove_handle(d->m_pMulti, entry.first);
        curl_easy_cleanup(entry.first);
    }
    for (const auto& pSpare : d->m_listSpare) {
        curl_easy_cleanup(pSpare->pEasy);
    }
    // The watches go with this object's children; curl closes its cached connections.
    curl_multi_setopt(d->m_pMulti, CURLMOPT_SOCKETFUNCTION, nullptr);
    curl_multi_setopt(d->m_pMulti, CURLMOPT_TIMERFUNCTION, nullptr);
    curl_multi_cleanup(d->m_pMulti);
    curl_slist_free_all(d->m_pHeaders);
    delete d;
    d = nullptr;
}

void NetworkManager::registerObject(NetworkManagerListener* listener)
{
    if (listener == nullptr) {
        // Nobody would take the data: stop everything in flight.
        d->dropAll();
    }
    d->m_pListener = listener;
}

int NetworkManager::getRequestPublicUrl(QString url, QString taskId)
{
    if (d->m_pListener == nullptr) {
        return -1;
    }
    // A task has one request: a new one for the same task replaces the old.
    d->dropTask(taskId);

    const QUrl address(url.trimmed());
    const QString strScheme = address.scheme();
    if (!address.isValid() || address.host().isEmpty() ||
        (strScheme != QLatin1String("http") && strScheme != QLatin1String("https"))) {
        d->refuse(taskId, QStringLiteral("only http and https addresses are fetched"));
        return -1;
    }

    // Read again at most once a second: a request of 1,000 jobs would read the file 1,000 times.
    if (!d->m_stallRead.isValid() || d->m_stallRead.elapsed() > 1000) {
        d->m_nStallMs = stallTimeoutMs();
        d->m_stallRead.start();
    }
    Transfer transfer;
    transfer.strTaskId = taskId;
    transfer.nTimeoutMs = d->m_nStallMs;
    d->start(address, transfer);
    return 0;
}

void NetworkManager::abortRequest(QString taskId)
{
    d->dropTask(taskId);
}

}  // namespace Common
