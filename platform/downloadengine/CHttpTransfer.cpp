#include "CHttpTransfer.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QTimer>

namespace {

constexpr int kTickMs = 50;
constexpr qint64 kChunkBytes = 64 * 1024;
constexpr qint64 kMinReadBuffer = 16 * 1024;
constexpr qint64 kMaxReadBuffer = 256 * 1024;
constexpr int kMaxRedirects = 10;
// Allowance saved up while the event loop was busy: a quarter second of the rate, so that a
// stall is caught up a little but never turns into a long burst.
constexpr double kMaxAllowanceSeconds = 0.25;
constexpr double kMinAllowanceCap = 4096;

int httpStatus(const QNetworkReply* pReply)
{
    return pReply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

// The last value of a header. After a redirect Qt may keep the redirect's own value in front
// of the final response's ("0, 128064"), so the last one is the one that counts.
QByteArray lastValue(const QNetworkReply* pReply, const QByteArray& baName)
{
    const QList<QByteArray> listValues = pReply->rawHeader(baName).split(',');
    return listValues.isEmpty() ? QByteArray() : listValues.last().trimmed();
}

}  // namespace

CHttpTransfer::CHttpTransfer(QNetworkAccessManager* pAccess, QObject* pParent)
    : QObject(pParent), m_pAccess(pAccess), m_pTick(new QTimer(this))
{
    m_pTick->setInterval(kTickMs);
    connect(m_pTick, &QTimer::timeout, this, &CHttpTransfer::onTick);
}

CHttpTransfer::~CHttpTransfer()
{
    abort();
}

bool CHttpTransfer::start(const QUrl& url, const QString& strPath, bool bResume, int nStallTimeoutMs)
{
    if (m_bStarted || m_pAccess == nullptr) {
        return false;
    }
    m_bStarted = true;
    m_file.setFileName(strPath);
    if (!m_file.open(QIODevice::ReadWrite)) {
        m_strError = m_file.errorString();
        return false;
    }
    if ((!bResume && !m_file.resize(0)) || !m_file.seek(m_file.size())) {
        m_strError = m_file.errorString();
        m_file.close();
        return false;
    }
    m_nReceived = m_file.size();

    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(kMaxRedirects);
    // Byte counts and ranges refer to the file itself, never to a compressed form of it.
    request.setRawHeader("Accept-Encoding", "identity");
    if (m_nReceived > 0) {
        request.setRawHeader("Range", "bytes=" + QByteArray::number(m_nReceived) + "-");
    }
    request.setTransferTimeout(nStallTimeoutMs);
    m_pReply = m_pAccess->get(request);
    applyReadBufferSize();
    connect(m_pReply, &QNetworkReply::metaDataChanged, this, &CHttpTransfer::onMetaDataChanged);
    connect(m_pReply, &QNetworkReply::readyRead, this, &CHttpTransfer::onReadyRead);
    connect(m_pReply, &QNetworkReply::finished, this, &CHttpTransfer::onFinished);
    m_meter.reset();
    m_sinceTick.start();
    if (m_nRate > 0) {
        m_pTick->start();
    }
    return true;
}

qint64 CHttpTransfer::contentLength(const QNetworkReply* pReply)
{
    bool bOk = false;
    const qint64 nLength = lastValue(pReply, "Content-Length").toLongLong(&bOk);
    return bOk && nLength >= 0 ? nLength : -1;
}

QUrl CHttpTransfer::sourceUrl(const QString& strText)
{
    const QUrl url(strText.trimmed(), QUrl::StrictMode);
    const QString strScheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() ||
        (strScheme != QLatin1String("http") && strScheme != QLatin1String("https"))) {
        return QUrl();
    }
    return url;
}

void CHttpTransfer::setRate(qint64 nBytesPerSecond)
{
    m_nRate = qMax<qint64>(0, nBytesPerSecond);
    applyReadBufferSize();
    if (m_pReply == nullptr) {
        return;
    }
    if (m_nRate > 0) {
        if (!m_pTick->isActive()) {
            m_sinceTick.restart();
            m_pTick->start();
        }
    } else {
        m_pTick->stop();
        pump();
    }
}

void CHttpTransfer::abort()
{
    m_pTick->stop();
    if (m_pReply != nullptr) {
        QNetworkReply* pReply = m_pReply;
        m_pReply = nullptr;
        disconnect(pReply, nullptr, this, nullptr);
        pReply->abort();
        pReply->deleteLater();
    }
    if (m_file.isOpen()) {
        m_file.close();
    }
}

void CHttpTransfer::onMetaDataChanged()
{
    if (m_pReply != nullptr) {
        acceptResponse();
    }
}

void CHttpTransfer::onReadyRead()
{
    if (m_pReply == nullptr) {
        return;
    }
    if (!acceptResponse()) {
        // An error page or a body that is not the file: not written anywhere.
        if (m_pReply != nullptr && m_bChecked) {
            m_pReply->skip(m_pReply->bytesAvailable());
        }
        return;
    }
    pump();
}

void CHttpTransfer::onFinished()
{
    if (m_pReply == nullptr) {
        return;
    }
    const int nStatus = httpStatus(m_pReply);
    if (nStatus == 416) {
        // Asked for the rest of a file that is already whole, or for more than there is.
        static const QRegularExpression reTotal(QStringLiteral("^bytes\\s+\\*/(\\d+)$"));
        const QRegularExpressionMatch match =
            reTotal.match(QString::fromLatin1(lastValue(m_pReply, "Content-Range")));
        if (match.hasMatch() && match.captured(1).toLongLong() == m_nReceived && m_nReceived > 0) {
            m_nTotal = m_nReceived;
            emit sgnTotalKnown(m_nTotal);
            if (m_pReply != nullptr) {
                finish(true, QString());
            }
            return;
        }
        truncateFile();
        finish(false, QStringLiteral("the source has no such range; the next attempt starts over"));
        return;
    }
    if (!acceptResponse()) {
        if (m_pReply != nullptr) {
            QString strError = m_strError;
            if (strError.isEmpty()) {
                strError =
                    nStatus != 0 ? QStringLiteral("HTTP status %1").arg(nStatus) : m_pReply->errorString();
            }
            finish(false, strError);
        }
        return;
    }
    if (m_pReply == nullptr) {
        return;
    }
    if (m_pReply->error() != QNetworkReply::NoError) {
        // What arrived before the failure is kept for the next attempt.
        const QString strError = m_pReply->errorString();
        if (moveToFile(-1) >= 0 && m_pReply != nullptr) {
            finish(false, strError);
        }
        return;
    }
    m_bNetworkDone = true;
    pump();
}

void CHttpTransfer::onTick()
{
    const qint64 nElapsedMs = m_sinceTick.restart();
    m_fAllowance += static_cast<double>(m_nRate) * static_cast<double>(nElapsedMs) / 1000.0;
    const double fCap = qMax(kMinAllowanceCap, static_cast<double>(m_nRate) * kMaxAllowanceSeconds);
    if (m_fAllowance > fCap) {
        m_fAllowance = fCap;
    }
    pump();
}

bool CHttpTransfer::acceptResponse()
{
    if (m_bChecked) {
        return m_bAccepted;
    }
    const QVariant varStatus = m_pReply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const int nStatus = varStatus.toInt();
    if (!varStatus.isValid() || (nStatus >= 300 && nStatus < 400)) {
        // Not there yet, or a redirect that is being followed.
        return false;
    }
    m_bChecked = true;
    if (nStatus == 206) {
        static const QRegularExpression reRange(QStringLiteral("^bytes\\s+(\\d+)-(\\d+)/(\\d+|\\*)$"));
        const QRegularExpressionMatch match =
            reRange.match(QString::fromLatin1(lastValue(m_pReply, "Content-Range")));
        if (!match.hasMatch() || match.captured(1).toLongLong() != m_nReceived) {
            // Data for another place of the file cannot be appended; the next attempt starts over.
            truncateFile();
            m_strError = QStringLiteral("the source answered with another range");
            return false;
        }
        const qint64 nLength = contentLength(m_pReply);
        m_nTotal = match.captured(3) == QLatin1String("*") ? (nLength >= 0 ? m_nReceived + nLength : -1)
                                                           : match.captured(3).toLongLong();
    } else if (nStatus >= 200 && nStatus < 300) {
        if (m_nReceived > 0) {
            // The source ignored the range and sends the whole file again.
            truncateFile();
        }
        m_nTotal = contentLength(m_pReply);
    } else {
        return false;
    }
    m_bAccepted = true;
    if (m_nTotal >= 0) {
        emit sgnTotalKnown(m_nTotal);
    }
    return m_pReply != nullptr;
}

qint64 CHttpTransfer::moveToFile(qint64 nLimit)
{
    qint64 nMoved = 0;
    char buffer[kChunkBytes];
    while (m_pReply != nullptr && (nLimit < 0 || nMoved < nLimit)) {
        qint64 nChunk = qMin(kChunkBytes, m_pReply->bytesAvailable());
        if (nLimit >= 0) {
            nChunk = qMin(nChunk, nLimit - nMoved);
        }
        if (nChunk <= 0) {
            break;
        }
        const qint64 nRead = m_pReply->read(buffer, nChunk);
        if (nRead <= 0) {
            break;
        }
        if (m_file.write(buffer, nRead) != nRead) {
            finish(false, QStringLiteral("cannot write the file: %1").arg(m_file.errorString()));
            return -1;
        }
        m_nReceived += nRead;
        nMoved += nRead;
        m_meter.add(nRead);
    }
    if (nMoved > 0) {
        emit sgnProgress(m_nReceived);
    }
    return nMoved;
}

void CHttpTransfer::pump()
{
    if (m_pReply == nullptr || !m_bAccepted) {
        return;
    }
    if (m_nRate <= 0) {
        if (moveToFile(-1) < 0) {
            return;
        }
    } else {
        const auto nAllowed = static_cast<qint64>(m_fAllowance);
        if (nAllowed > 0) {
            const qint64 nMoved = moveToFile(nAllowed);
            if (nMoved < 0) {
                return;
            }
            m_fAllowance -= static_cast<double>(nMoved);
        }
    }
    if (m_pReply == nullptr || !m_bNetworkDone || m_pReply->bytesAvailable() > 0) {
        return;
    }
    if (m_nTotal >= 0 && m_nReceived != m_nTotal) {
        finish(false,
               QStringLiteral("the transfer ended after %1 of %2 bytes").arg(m_nReceived).arg(m_nTotal));
        return;
    }
    if (m_nTotal < 0) {
        m_nTotal = m_nReceived;
        emit sgnTotalKnown(m_nTotal);
        if (m_pReply == nullptr) {
            return;
        }
    }
    finish(true, QString());
}

void CHttpTransfer::truncateFile()
{
    if (m_file.isOpen() && m_file.resize(0) && m_file.seek(0)) {
        m_nReceived = 0;
    }
}

void CHttpTransfer::finish(bool bOk, const QString& strError)
{
    m_pTick->stop();
    QNetworkReply* pReply = m_pReply;
    m_pReply = nullptr;
    if (pReply != nullptr) {
        disconnect(pReply, nullptr, this, nullptr);
        if (!pReply->isFinished()) {
            pReply->abort();
        }
        pReply->deleteLater();
    }
    QString strReason = strError;
    if (m_file.isOpen()) {
        if (!m_file.flush() && bOk) {
            bOk = false;
            strReason = QStringLiteral("cannot write the file: %1").arg(m_file.errorString());
        }
        m_file.close();
    }
    m_strError = strReason;
    // Last: a listener may release this object (with deleteLater).
    emit sgnFinished(bOk, strReason);
}

void CHttpTransfer::applyReadBufferSize()
{
    if (m_pReply != nullptr) {
        m_pReply->setReadBufferSize(m_nRate > 0 ? qBound(kMinReadBuffer, m_nRate, kMaxReadBuffer)
                                                : kMaxReadBuffer);
    }
}
