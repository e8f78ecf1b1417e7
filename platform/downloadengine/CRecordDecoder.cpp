#include "CRecordDecoder.h"

#include <QCryptographicHash>
#include <QFile>

#include <zlib.h>

namespace {

quint16 le16(const char* p)
{
    return static_cast<quint16>(static_cast<unsigned char>(p[0]) | (static_cast<unsigned char>(p[1]) << 8));
}

quint32 le32(const char* p)
{
    quint32 nValue = 0;
    for (int i = 3; i >= 0; --i) {
        nValue = (nValue << 8) | static_cast<unsigned char>(p[i]);
    }
    return nValue;
}

quint64 le64(const char* p)
{
    return static_cast<quint64>(le32(p)) | (static_cast<quint64>(le32(p + 4)) << 32);
}

// Reads exactly nLength bytes unless the input ends first; the count read.
qint64 readFully(QFile& file, char* pBuffer, qint64 nLength)
{
    qint64 nDone = 0;
    while (nDone < nLength) {
        const qint64 nRead = file.read(pBuffer + nDone, nLength - nDone);
        if (nRead <= 0) {
            break;
        }
        nDone += nRead;
    }
    return nDone;
}

}  // namespace

CRecordDecoder::Result CRecordDecoder::decode(const QString& strInput, const QString& strOutput,
                                              const std::atomic_bool& bCancel)
{
    Result result;
    QFile input(strInput);
    if (!input.open(QIODevice::ReadOnly)) {
        result.strError = QStringLiteral("cannot read the download: %1").arg(input.errorString());
        return result;
    }
    QFile output(strOutput);
    if (!output.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        result.strError = QStringLiteral("cannot write the decoded file: %1").arg(output.errorString());
        return result;
    }
    const auto fail = [&result, &output](const QString& strError, qint64 nValidBytes) {
        output.close();
        output.remove();
        result.strError = strError;
        result.nValidBytes = nValidBytes;
        return result;
    };

    char header[kHeaderBytes];
    if (readFully(input, header, kHeaderBytes) < kHeaderBytes) {
        return fail(QStringLiteral("the file header is incomplete"), 0);
    }
    const qint64 nHeaderBytes = le16(header + 6);
    const quint64 nStreamTotal = le64(header + 8);
    const quint32 nFramePayload = le32(header + 16);
    if (qstrncmp(header, "VREC", 4) != 0 || le16(header + 4) != 1 || nHeaderBytes < kHeaderBytes ||
        nHeaderBytes > kMaxHeaderBytes || nFramePayload == 0 || nFramePayload > kMaxFramePayload) {
        return fail(QStringLiteral("not a recording of a known format"), 0);
    }
    // A later header may be longer; what follows the known fields is skipped.
    if (nHeaderBytes > kHeaderBytes && !input.skip(nHeaderBytes - kHeaderBytes)) {
        return fail(QStringLiteral("the file header is incomplete"), 0);
    }
    if (input.pos() != nHeaderBytes) {
        return fail(QStringLiteral("the file header is incomplete"), 0);
    }

    QCryptographicHash hash(QCryptographicHash::Sha256);
    QByteArray baPayload;
    qint64 nValid = nHeaderBytes;
    quint64 nWritten = 0;
    for (quint32 nSequence = 0;; ++nSequence) {
        if (bCancel.load()) {
            output.close();
            output.remove();
            result.bCancelled = true;
            result.strError = QStringLiteral("cancelled");
            return result;
        }
        char frame[kFrameHeaderBytes];
        const qint64 nRead = readFully(input, frame, kFrameHeaderBytes);
        if (nRead == 0) {
            break;
        }
        if (nRead < kFrameHeaderBytes) {
            return fail(QStringLiteral("frame %1 is incomplete").arg(nSequence), nValid);
        }
        const quint32 nLength = le32(frame + 8);
        if (qstrncmp(frame, "VFRM", 4) != 0 || le32(frame + 4) != nSequence || nLength == 0 ||
            nLength > nFramePayload || nLength > nStreamTotal - nWritten) {
            return fail(QStringLiteral("frame %1 is not valid").arg(nSequence), nValid);
        }
        baPayload.resize(static_cast<int>(nLength));
        if (readFully(input, baPayload.data(), nLength) < nLength) {
            return fail(QStringLiteral("frame %1 is incomplete").arg(nSequence), nValid);
        }
        const uLong nCrc =
            crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(baPayload.constData()), nLength);
        if (static_cast<quint32>(nCrc) != le32(frame + 12)) {
            return fail(QStringLiteral("frame %1 is damaged").arg(nSequence), nValid);
        }
        if (output.write(baPayload) != baPayload.size()) {
            return fail(QStringLiteral("cannot write the decoded file: %1").arg(output.errorString()), -1);
        }
        hash.addData(baPayload);
        nWritten += nLength;
        nValid += kFrameHeaderBytes + nLength;
    }
    if (nWritten != nStreamTotal) {
        return fail(QStringLiteral("the recording ends after %1 of %2 bytes").arg(nWritten).arg(nStreamTotal),
                    nValid);
    }
    if (!output.flush()) {
        return fail(QStringLiteral("cannot write the decoded file: %1").arg(output.errorString()), -1);
    }
    output.close();
    result.bOk = true;
    result.nValidBytes = nValid;
    result.nStreamBytes = static_cast<qint64>(nWritten);
    result.baSha256 = hash.result().toHex();
    return result;
}
