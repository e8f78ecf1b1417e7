#include "CRecordingBody.h"

#include "CGeneratedBody.h"

#include <QCryptographicHash>

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr std::uint64_t kFrameBytes = CRecordingBody::kFrameHeaderBytes + CRecordingBody::kFramePayload;

void put16(unsigned char* p, std::uint16_t nValue)
{
    p[0] = static_cast<unsigned char>(nValue);
    p[1] = static_cast<unsigned char>(nValue >> 8);
}

void put32(unsigned char* p, std::uint32_t nValue)
{
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<unsigned char>(nValue >> (8 * i));
    }
}

void put64(unsigned char* p, std::uint64_t nValue)
{
    for (int i = 0; i < 8; ++i) {
        p[i] = static_cast<unsigned char>(nValue >> (8 * i));
    }
}

}  // namespace

CRecordingBody::CRecordingBody(const std::string& strDeviceId, int nChannel, std::uint32_t nBegin,
                               std::uint32_t nEnd, std::uint64_t nBitrate)
    : m_nStreamSize(streamSizeFor(nEnd > nBegin ? nEnd - nBegin : 0, nBitrate)),
      m_nSize(framedSize(m_nStreamSize)),
      m_nPattern(patternFor(strDeviceId, nChannel, nBegin, nEnd))
{
    std::memcpy(m_header, "VREC", 4);
    put16(m_header + 4, 1);
    put16(m_header + 6, kHeaderBytes);
    put64(m_header + 8, m_nStreamSize);
    put32(m_header + 16, kFramePayload);
    put32(m_header + 20, static_cast<std::uint32_t>(nChannel));
    put32(m_header + 24, nBegin);
    put32(m_header + 28, nEnd);
}

bool CRecordingBody::read(std::uint64_t nOffset, char* pBuffer, std::size_t nLength)
{
    if (nOffset > m_nSize || nLength > m_nSize - nOffset) {
        return false;
    }
    std::size_t nDone = 0;
    while (nDone < nLength) {
        const std::uint64_t nPos = nOffset + nDone;
        std::size_t nChunk = 0;
        if (nPos < kHeaderBytes) {
            nChunk = static_cast<std::size_t>(std::min<std::uint64_t>(nLength - nDone, kHeaderBytes - nPos));
            std::memcpy(pBuffer + nDone, m_header + nPos, nChunk);
        } else {
            // Every frame before the last is full, so a frame starts at a fixed stride.
            const std::uint64_t nRelative = nPos - kHeaderBytes;
            const std::uint64_t nFrame = nRelative / kFrameBytes;
            const std::uint64_t nWithin = nRelative % kFrameBytes;
            if (nWithin < kFrameHeaderBytes) {
                unsigned char header[kFrameHeaderBytes];
                frameHeader(nFrame, header);
                nChunk = static_cast<std::size_t>(
                    std::min<std::uint64_t>(nLength - nDone, kFrameHeaderBytes - nWithin));
                std::memcpy(pBuffer + nDone, header + nWithin, nChunk);
            } else {
                const std::uint64_t nStreamPos = nFrame * kFramePayload + (nWithin - kFrameHeaderBytes);
                const std::uint64_t nFrameEnd =
                    std::min<std::uint64_t>((nFrame + 1) * kFramePayload, m_nStreamSize);
                nChunk = static_cast<std::size_t>(
                    std::min<std::uint64_t>(nLength - nDone, nFrameEnd - nStreamPos));
                CGeneratedBody::fill(m_nPattern, nStreamPos, pBuffer + nDone, nChunk);
            }
        }
        nDone += nChunk;
    }
    if (m_nCorruptAt >= 0 && static_cast<std::uint64_t>(m_nCorruptAt) >= nOffset &&
        static_cast<std::uint64_t>(m_nCorruptAt) < nOffset + nLength) {
        pBuffer[m_nCorruptAt - static_cast<std::int64_t>(nOffset)] ^= static_cast<char>(0xFF);
    }
    return true;
}

QByteArray CRecordingBody::streamSha256() const
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    std::vector<char> buffer(kFramePayload);
    for (std::uint64_t nPos = 0; nPos < m_nStreamSize; nPos += buffer.size()) {
        const std::size_t nChunk =
            static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), m_nStreamSize - nPos));
        CGeneratedBody::fill(m_nPattern, nPos, buffer.data(), nChunk);
        hash.addData(buffer.data(), static_cast<int>(nChunk));
    }
    return hash.result().toHex();
}

std::uint64_t CRecordingBody::streamSizeFor(std::uint32_t nSeconds, std::uint64_t nBitrate)
{
    return static_cast<std::uint64_t>(nSeconds) * nBitrate / 8;
}

std::uint64_t CRecordingBody::framedSize(std::uint64_t nStreamSize)
{
    const std::uint64_t nFrames = (nStreamSize + kFramePayload - 1) / kFramePayload;
    return kHeaderBytes + nFrames * kFrameHeaderBytes + nStreamSize;
}

std::uint64_t CRecordingBody::patternFor(const std::string& strDeviceId, int nChannel, std::uint32_t nBegin,
                                         std::uint32_t nEnd)
{
    // FNV-1a: stable across runs and machines, unlike std::hash.
    const std::string strKey = strDeviceId + "/" + std::to_string(nChannel) + "/" + std::to_string(nBegin) +
                               "/" + std::to_string(nEnd);
    std::uint64_t nHash = 0xcbf29ce484222325ull;
    for (const char c : strKey) {
        nHash ^= static_cast<unsigned char>(c);
        nHash *= 0x100000001b3ull;
    }
    return nHash;
}

void CRecordingBody::frameHeader(std::uint64_t nFrame, unsigned char* pHeader)
{
    const std::uint64_t nStart = nFrame * kFramePayload;
    const auto nLength =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(kFramePayload, m_nStreamSize - nStart));
    if (m_nCrcFrame != nFrame) {
        std::vector<char> payload(nLength);
        CGeneratedBody::fill(m_nPattern, nStart, payload.data(), nLength);
        m_nCrc = static_cast<std::uint32_t>(
            crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(payload.data()), nLength));
        m_nCrcFrame = nFrame;
    }
    std::memcpy(pHeader, "VFRM", 4);
    put32(pHeader + 4, static_cast<std::uint32_t>(nFrame));
    put32(pHeader + 8, nLength);
    put32(pHeader + 12, m_nCrc);
}
