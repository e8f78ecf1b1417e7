#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <atomic>

// The decoding step of a record download: the device sends its recording in frames, and the
// file the user gets is the stream inside them. Each frame is checked (sequence, length,
// CRC-32) before its payload is written. Little-endian throughout:
//   file header, 32 bytes or more: "VREC", u16 version 1, u16 header size, u64 stream bytes,
//                                  u32 largest frame payload, u32 channel, u32 begin, u32 end
//   each frame:                    "VFRM", u32 sequence from 0, u32 payload bytes,
//                                  u32 CRC-32 of the payload, then the payload
// Works frame by frame, so memory stays within one frame whatever the size of the recording.
// Runs on any thread; one decode per input at a time.
class CRecordDecoder
{
public:
    static constexpr qint64 kHeaderBytes = 32;
    static constexpr qint64 kMaxHeaderBytes = 4096;
    static constexpr qint64 kFrameHeaderBytes = 16;
    static constexpr quint32 kMaxFramePayload = 4 * 1024 * 1024;

    struct Result
    {
        bool bOk = false;
        bool bCancelled = false;
        // Where the last whole, checked frame ends in the input (the header's end when there is
        // none); -1 when the fault is not the input's (output not writable, input not readable).
        qint64 nValidBytes = -1;
        qint64 nStreamBytes = 0;
        QByteArray baSha256;  // hex digest of the stream written, when bOk
        QString strError;
    };

    // Unwraps strInput into strOutput (created or emptied). On failure or cancellation (bCancel
    // turned true) strOutput is removed and strInput is left as it is.
    static Result decode(const QString& strInput, const QString& strOutput, const std::atomic_bool& bCancel);
};
