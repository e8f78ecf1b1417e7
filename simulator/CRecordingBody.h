#pragma once

#include "CSimBody.h"

#include <QByteArray>

#include <cstdint>
#include <string>

// A device's recording of one channel for a time range, in the device's framing. The stream
// inside is deterministic (CGeneratedBody, pattern from the recording's identity) and its size
// follows from the duration and the bitrate, so a client that unwraps the frames can check the
// result byte for byte. Little-endian throughout:
//   file header, 32 bytes: "VREC", u16 version 1, u16 header size 32, u64 stream bytes,
//                          u32 frame payload, u32 channel, u32 begin, u32 end (seconds since 1970)
//   each frame:            "VFRM", u32 sequence from 0, u32 payload bytes, u32 CRC-32 of the
//                          payload, then the payload; every frame but the last is full
class CRecordingBody : public CSimBody
{
public:
    static constexpr std::uint32_t kHeaderBytes = 32;
    static constexpr std::uint32_t kFrameHeaderBytes = 16;
    static constexpr std::uint32_t kFramePayload = 64 * 1024;

    CRecordingBody(const std::string& strDeviceId, int nChannel, std::uint32_t nBegin, std::uint32_t nEnd,
                   std::uint64_t nBitrate);

    std::uint64_t size() const override { return m_nSize; }
    bool read(std::uint64_t nOffset, char* pBuffer, std::size_t nLength) override;

    // Inverts the byte at nOffset of the framed body, as a damaged transfer would; -1 for none.
    void setCorruptAt(std::int64_t nOffset) { m_nCorruptAt = nOffset; }

    std::uint64_t streamSize() const { return m_nStreamSize; }
    std::uint64_t pattern() const { return m_nPattern; }
    // Hex SHA-256 of the unwrapped stream: what a client holds once it decoded the body.
    QByteArray streamSha256() const;

    // Bytes of stream for nSeconds at nBitrate bits per second.
    static std::uint64_t streamSizeFor(std::uint32_t nSeconds, std::uint64_t nBitrate);
    // Size of the framed body that carries nStreamSize bytes of stream.
    static std::uint64_t framedSize(std::uint64_t nStreamSize);
    // The generator pattern of a recording: the same request always gets the same bytes.
    static std::uint64_t patternFor(const std::string& strDeviceId, int nChannel, std::uint32_t nBegin,
                                    std::uint32_t nEnd);

private:
    // The header of frame nFrame, CRC included.
    void frameHeader(std::uint64_t nFrame, unsigned char* pHeader);

    std::uint64_t m_nStreamSize = 0;
    std::uint64_t m_nSize = 0;
    std::uint64_t m_nPattern = 0;
    std::int64_t m_nCorruptAt = -1;
    unsigned char m_header[kHeaderBytes] = {};
    // The last frame whose CRC was worked out: a client reads frames in order.
    std::uint64_t m_nCrcFrame = UINT64_MAX;
    std::uint32_t m_nCrc = 0;
};
