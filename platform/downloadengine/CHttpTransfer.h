#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QtGlobal>

#include "CRateMeter.h"

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

// One HTTP download into a file, resumable and throttled. The file keeps whatever arrived,
// also after a failure; resuming asks only for the rest (Range) and appends. Qt holds at most
// a bounded read buffer for the reply: when the engine reads slowly to keep a rate, the server
// is held back by the connection itself. Lives and signals on the thread that made it; a
// listener releases it with deleteLater(), never from inside its signals with delete.
class CHttpTransfer : public QObject
{
    Q_OBJECT

public:
    explicit CHttpTransfer(QNetworkAccessManager* pAccess, QObject* pParent = nullptr);
    ~CHttpTransfer() override;

    // Starts fetching url into strPath. With bResume the bytes already in the file stay and
    // only the rest is asked for; otherwise the file is emptied first. False, with nothing
    // sent, when the file cannot be opened for writing. Only one start per object.
    bool start(const QUrl& url, const QString& strPath, bool bResume, int nStallTimeoutMs);
    // The Content-Length of a response, -1 when it has none.
    static qint64 contentLength(const QNetworkReply* pReply);
    // strText as an address a transfer can fetch (http or https, with a host); invalid otherwise.
    static QUrl sourceUrl(const QString& strText);

    // Bytes per second read from the connection; 0 reads as fast as data comes.
    void setRate(qint64 nBytesPerSecond);
    // Ends the transfer without a signal; the file keeps what was written.
    void abort();

    bool isRunning() const { return m_pReply != nullptr; }
    // Bytes in the file.
    qint64 received() const { return m_nReceived; }
    // Size of the whole file once known, else -1.
    qint64 total() const { return m_nTotal; }
    qint64 bytesLastSecond() const { return m_meter.bytesLastSecond(); }
    QString errorString() const { return m_strError; }

signals:
    void sgnTotalKnown(qint64 nTotal);
    void sgnProgress(qint64 nReceived);
    // The end of the transfer: bOk when the whole file is there.
    void sgnFinished(bool bOk, const QString& strError);

private:
    void onMetaDataChanged();
    void onReadyRead();
    void onFinished();
    void onTick();

    // Checks the response once its status is there; false when its body is not the file.
    bool acceptResponse();
    // Moves buffered bytes to the file, at most nLimit of them (-1 for all); the count moved, or
    // -1 when writing failed (the transfer has then ended).
    qint64 moveToFile(qint64 nLimit);
    // Moves what the rate allows now; ends the transfer when all has arrived and been moved.
    void pump();
    void truncateFile();
    void finish(bool bOk, const QString& strError);
    void applyReadBufferSize();

    QNetworkAccessManager* m_pAccess = nullptr;
    QNetworkReply* m_pReply = nullptr;
    QTimer* m_pTick = nullptr;
    QFile m_file;
    QElapsedTimer m_sinceTick;
    CRateMeter m_meter;
    qint64 m_nRate = 0;
    double m_fAllowance = 0;
    qint64 m_nReceived = 0;
    qint64 m_nTotal = -1;
    bool m_bStarted = false;
    bool m_bChecked = false;      // the response's status was looked at
    bool m_bAccepted = false;     // its body is (the rest of) the file
    bool m_bNetworkDone = false;  // all of the body has arrived; some may still be buffered
    QString m_strError;
};
