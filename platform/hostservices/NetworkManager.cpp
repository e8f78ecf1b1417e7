#include <hostservices/ClientSettings.h>
#include <hostservices/NetworkManager.h>
#include <hostservices/NetworkManagerListener.h>

#include <QElapsedTimer>
#include <QHash>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>
#include <QUrl>

Q_LOGGING_CATEGORY(lcNetwork, "hostservices.network")

namespace Common {

namespace {

// What Qt holds for a reply before it stops reading the socket: memory stays flat whatever
// the size of the file.
constexpr qint64 kReadBufferBytes = 1024 * 1024;
// Largest piece handed to the listener at once.
constexpr qint64 kChunkBytes = 256 * 1024;
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

int httpStatus(const QNetworkReply* pReply)
{
    return pReply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

bool isSuccessStatus(int nStatus)
{
    return nStatus >= 200 && nStatus <= 299;
}

// The size of the body as the server announced it, -1 when it did not say. After a redirect
// Qt may keep the redirect's length in front of the final one ("0, 300"): the last counts.
qint64 announcedLength(const QNetworkReply* pReply)
{
    const QList<QByteArray> listValues = pReply->rawHeader("Content-Length").split(',');
    bool bOk = false;
    const qint64 nLength = listValues.last().trimmed().toLongLong(&bOk);
    return bOk && nLength >= 0 ? nLength : -1;
}

}  // namespace

// One request in flight.
struct Transfer
{
    QString strTaskId;
    qint64 nUnreported = 0;  // bytes handed over since the last progress report
    qint64 nDelivered = 0;   // bytes handed over in all
    QElapsedTimer lastReport;
    QElapsedTimer lastData;  // since the request or its last byte
    bool bAnswered = false;  // headers or bytes have come
    QString strHost;         // host and port now asked
    int nTimeoutMs = 0;
    int nRedirects = 0;  // redirects followed so far
};

class NetworkManagerPrivate
{
public:
    explicit NetworkManagerPrivate(NetworkManager* pOwner) : m_pOwner(pOwner) {}

    NetworkManager* m_pOwner = nullptr;
    QNetworkAccessManager* m_pAccess = nullptr;
    NetworkManagerListener* m_pListener = nullptr;
    QHash<QNetworkReply*, Transfer> m_hashTransfers;
    // When each host last sent anything: requests queued inside Qt (more than its connections
    // per host) are not stalled while their host keeps sending.
    QHash<QString, QElapsedTimer> m_hashHostActive;
    QTimer* m_pStallCheck = nullptr;

    void noteData(QNetworkReply* pReply)
    {
        const auto it = m_hashTransfers.find(pReply);
        if (it != m_hashTransfers.end()) {
            it->bAnswered = true;
            it->lastData.restart();
            m_hashHostActive[it->strHost].restart();
        }
    }

    // Ends the transfers that have had nothing for their stall time; counted for a request
    // not yet answered from the last time its host sent anything, if that is later.
    void checkStalls()
    {
        const QList<QNetworkReply*> listReplies = m_hashTransfers.keys();
        for (QNetworkReply* pReply : listReplies) {
            const auto it = m_hashTransfers.constFind(pReply);
            if (it == m_hashTransfers.constEnd()) {
                continue;
            }
            qint64 nIdleMs = it->lastData.elapsed();
            const auto itHost = m_hashHostActive.constFind(it->strHost);
            if (!it->bAnswered && itHost != m_hashHostActive.constEnd()) {
                nIdleMs = qMin(nIdleMs, itHost->elapsed());
            }
            if (nIdleMs > it->nTimeoutMs) {
                // Still connected: the abort ends it through onFinished as a cancelled request.
                pReply->abort();
            }
        }
        if (m_hashTransfers.isEmpty()) {
            m_pStallCheck->stop();
            m_hashHostActive.clear();
        }
    }

    bool isActive(QNetworkReply* pReply) const { return m_hashTransfers.contains(pReply); }

    NetworkReplyData makeData(const QNetworkReply* pReply, const QByteArray& baData) const
    {
        NetworkReplyData data;
        data.baData = baData;
        data.nHttpStatus = httpStatus(pReply);
        data.strUrl = pReply->url().toString();
        return data;
    }

    // Ends a transfer without telling the listener.
    void drop(QNetworkReply* pReply)
    {
        m_hashTransfers.remove(pReply);
        QObject::disconnect(pReply, nullptr, m_pOwner, nullptr);
        pReply->abort();
        pReply->deleteLater();
    }

    void dropAll()
    {
        const QList<QNetworkReply*> listReplies = m_hashTransfers.keys();
        for (QNetworkReply* pReply : listReplies) {
            drop(pReply);
        }
    }

    void dropTask(const QString& strTaskId)
    {
        const QList<QNetworkReply*> listReplies = m_hashTransfers.keys();
        for (QNetworkReply* pReply : listReplies) {
            if (m_hashTransfers.value(pReply).strTaskId == strTaskId) {
                drop(pReply);
            }
        }
    }

    // Hands one piece to the listener; false when the transfer ended meanwhile (the listener
    // may start, stop or replace requests from inside its callbacks).
    bool handOver(QNetworkReply* pReply, const QByteArray& baData)
    {
        auto it = m_hashTransfers.find(pReply);
        if (it == m_hashTransfers.end() || m_pListener == nullptr) {
            return false;
        }
        it->nUnreported += baData.size();
        it->nDelivered += baData.size();
        const QString strTaskId = it->strTaskId;
        m_pListener->onNetworkReadyRead(makeData(pReply, baData), strTaskId);
        return isActive(pReply);
    }

    bool report(QNetworkReply* pReply, bool bFinal)
    {
        auto it = m_hashTransfers.find(pReply);
        if (it == m_hashTransfers.end() || m_pListener == nullptr) {
            return false;
        }
        if (!bFinal && (it->nUnreported == 0 || it->lastReport.elapsed() < kReportIntervalMs)) {
            return true;
        }
        const qint64 nChunk = it->nUnreported;
        it->nUnreported = 0;
        it->lastReport.restart();
        const QString strTaskId = it->strTaskId;
        m_pListener->onNetworkProgress(qMax<qint64>(0, announcedLength(pReply)), nChunk, strTaskId);
        return isActive(pReply);
    }

    void onReadyRead(QNetworkReply* pReply)
    {
        if (!isActive(pReply)) {
            return;
        }
        noteData(pReply);
        // Bodies of error pages and redirects are not the file.
        if (!isSuccessStatus(httpStatus(pReply))) {
            pReply->skip(pReply->bytesAvailable());
            return;
        }
        // All that is buffered at once (at most the read buffer's size): Qt hands over a piece it
        // holds whole without copying it, where a read of a given size copies.
        const QByteArray baData = pReply->readAll();
        if (!baData.isEmpty() && handOver(pReply, baData)) {
            report(pReply, false);
        }
    }

    // Redirects are followed here rather than by Qt, whose own following drops the reply's read
    // buffer limit and so holds a fast body in memory. True when a new request took over.
    bool followRedirect(QNetworkReply* pReply, int nStatus)
    {
        if (nStatus != 301 && nStatus != 302 && nStatus != 303 && nStatus != 307 && nStatus != 308) {
            return false;
        }
        const QUrl target = pReply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
        const QUrl location = target.isEmpty() ? QUrl() : pReply->url().resolved(target);
        Transfer transfer = m_hashTransfers.value(pReply);
        QString strWhy;
        if (!location.isValid() || location.host().isEmpty()) {
            strWhy = QStringLiteral("a redirect without a usable address");
        } else if (transfer.nRedirects >= kMaxRedirects) {
            strWhy = QStringLiteral("more than %1 redirects").arg(kMaxRedirects);
        } else if (location.scheme() != QLatin1String("https") &&
                   (pReply->url().scheme() == QLatin1String("https") ||
                    location.scheme() != QLatin1String("http"))) {
            strWhy = QStringLiteral("a redirect to a less safe or unknown scheme");
        }
        drop(pReply);
        if (!strWhy.isEmpty()) {
            refuse(transfer.strTaskId, strWhy);
            return true;
        }
        ++transfer.nRedirects;
        start(location, transfer);
        return true;
    }

    void start(const QUrl& address, const Transfer& transfer)
    {
        QNetworkRequest request(address);
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
        // The file as the server has it: no transparent decompression.
        request.setRawHeader("Accept-Encoding", "identity");
        QNetworkReply* pReply = m_pAccess->get(request);
        pReply->setReadBufferSize(kReadBufferBytes);
        Transfer& started = m_hashTransfers[pReply] = transfer;
        started.strHost = address.host() + QLatin1Char(':') + QString::number(address.port(0));
        started.bAnswered = false;
        started.lastData.start();
        if (!m_pStallCheck->isActive()) {
            // A few checks within the stall time, at most one a second.
            m_pStallCheck->start(qBound(10, transfer.nTimeoutMs / 4, 1000));
        }
        QObject::connect(pReply, &QNetworkReply::metaDataChanged, m_pOwner,
                         [this, pReply] { noteData(pReply); });
        QObject::connect(pReply, &QNetworkReply::readyRead, m_pOwner,
                         [this, pReply] { onReadyRead(pReply); });
        QObject::connect(pReply, &QNetworkReply::finished, m_pOwner, [this, pReply] { onFinished(pReply); });
    }

    void onFinished(QNetworkReply* pReply)
    {
        if (!isActive(pReply)) {
            return;
        }
        const int nStatus = httpStatus(pReply);
        if (pReply->error() == QNetworkReply::NoError && followRedirect(pReply, nStatus)) {
            return;
        }
        const bool bBody = isSuccessStatus(nStatus);
        qint64 nCode = pReply->error();
        QString strError = pReply->errorString();

        // Whatever of the body is still buffered: all but the last piece as data now; the
        // last piece goes with the end of the transfer, or as data before a failure, so that
        // a partial file keeps everything that came.
        QByteArray baLast;
        if (bBody && pReply->isOpen()) {
            baLast = pReply->read(kChunkBytes);
            while (pReply->bytesAvailable() > 0) {
                if (!handOver(pReply, baLast)) {
                    return;
                }
                baLast = pReply->read(kChunkBytes);
            }
        }

        if (nCode == QNetworkReply::NoError && bBody) {
            auto it = m_hashTransfers.find(pReply);
            if (it == m_hashTransfers.end()) {
                return;
            }
            const qint64 nReceived = it->nDelivered + baLast.size();
            const qint64 nAnnounced = announcedLength(pReply);
            if (nAnnounced < 0 || nReceived == nAnnounced) {
                it->nUnreported += baLast.size();
                if (!report(pReply, true)) {
                    return;
                }
                const Transfer transfer = m_hashTransfers.take(pReply);
                pReply->deleteLater();
                if (m_pListener != nullptr) {
                    m_pListener->onNetworkFinished(makeData(pReply, baLast), transfer.strTaskId);
                }
                return;
            }
            // Qt may take a connection closed early for the end of the body.
            nCode = QNetworkReply::RemoteHostClosedError;
            strError =
                QStringLiteral("connection closed after %1 of %2 bytes").arg(nReceived).arg(nAnnounced);
        } else if (nCode == QNetworkReply::NoError) {
            // Not an error for Qt, but no file either (for example a redirect not followed).
            nCode = nStatus;
            strError = QStringLiteral("unexpected HTTP status %1").arg(nStatus);
        } else if (nCode == QNetworkReply::OperationCanceledError) {
            // Requests dropped here are disconnected first, so this is the stall timeout.
            nCode = QNetworkReply::TimeoutError;
            strError =
                QStringLiteral("no data received for %1 ms").arg(m_hashTransfers.value(pReply).nTimeoutMs);
        }
        if (!baLast.isEmpty() && !handOver(pReply, baLast)) {
            return;
        }

        const Transfer transfer = m_hashTransfers.take(pReply);
        qCInfo(lcNetwork, "transfer %s failed: %s", qUtf8Printable(transfer.strTaskId),
               qUtf8Printable(strError));
        pReply->deleteLater();
        if (m_pListener != nullptr) {
            m_pListener->onNetworkError(nCode, strError, transfer.strTaskId);
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
};

NetworkManager::NetworkManager() : d(new NetworkManagerPrivate(this))
{
    d->m_pAccess = new QNetworkAccessManager(this);
    d->m_pAccess->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    d->m_pStallCheck = new QTimer(this);
    connect(d->m_pStallCheck, &QTimer::timeout, this, [this] { d->checkStalls(); });
}

NetworkManager::~NetworkManager()
{
    d->dropAll();
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

    Transfer transfer;
    transfer.strTaskId = taskId;
    transfer.nTimeoutMs = stallTimeoutMs();
    transfer.lastReport.start();
    d->start(address, transfer);
    return 0;
}

void NetworkManager::abortRequest(QString taskId)
{
    d->dropTask(taskId);
}

}  // namespace Common
