#include "CPicturePackageBody.h"

#include "CGeneratedBody.h"
#include "CRecordingBody.h"

#include <QCryptographicHash>

#include <zlib.h>

#include <algorithm>
#include <cstdio>

namespace {

// 1980-01-01 00:00 in the archive's DOS format: the pictures carry no time of their own.
constexpr std::uint16_t kDosDate = (1 << 5) | 1;
constexpr std::uint16_t kDosTime = 0;
constexpr std::uint16_t kVersionStored = 10;
constexpr std::size_t kSliceBytes = 64 * 1024;

void append16(std::string& strOut, std::uint16_t nValue)
{
    strOut.push_back(static_cast<char>(nValue));
    strOut.push_back(static_cast<char>(nValue >> 8));
}

void append32(std::string& strOut, std::uint32_t nValue)
{
    for (int i = 0; i < 4; ++i) {
        strOut.push_back(static_cast<char>(nValue >> (8 * i)));
    }
}

std::uint32_t pictureCrc(std::uint64_t nPattern, std::uint32_t nBytes)
{
    std::vector<char> buffer(std::min<std::size_t>(kSliceBytes, nBytes));
    uLong nCrc = crc32(0L, Z_NULL, 0);
    for (std::uint32_t nPos = 0; nPos < nBytes; nPos += static_cast<std::uint32_t>(buffer.size())) {
        const auto nChunk = static_cast<std::uint32_t>(std::min<std::size_t>(buffer.size(), nBytes - nPos));
        CGeneratedBody::fill(nPattern, nPos, buffer.data(), nChunk);
        nCrc = crc32(nCrc, reinterpret_cast<const Bytef*>(buffer.data()), nChunk);
    }
    return static_cast<std::uint32_t>(nCrc);
}

}  // namespace

CPicturePackageBody::CPicturePackageBody(const std::string& strDeviceId, int nChannel, std::uint32_t nBegin,
                                         std::uint32_t nEnd, int nCount, std::uint32_t nPictureBytes)
    : m_nPattern(CRecordingBody::patternFor(strDeviceId, nChannel, nBegin, nEnd) ^ 0x5049435455524553ull),
      m_nCount(std::max(0, nCount)),
      m_nPictureBytes(nPictureBytes)
{
    std::string strCentral;
    for (int i = 0; i < m_nCount; ++i) {
        const std::string strName = entryName(i + 1);
        const std::uint32_t nCrc = pictureCrc(picturePattern(i), m_nPictureBytes);
        const auto nLocalOffset = static_cast<std::uint32_t>(m_nSize);

        std::string strLocal;
        append32(strLocal, 0x04034b50);
        append16(strLocal, kVersionStored);
        append16(strLocal, 0);  // flags
        append16(strLocal, 0);  // stored
        append16(strLocal, kDosTime);
        append16(strLocal, kDosDate);
        append32(strLocal, nCrc);
        append32(strLocal, m_nPictureBytes);
        append32(strLocal, m_nPictureBytes);
        append16(strLocal, static_cast<std::uint16_t>(strName.size()));
        append16(strLocal, 0);  // extra field
        strLocal += strName;
        addBytes(strLocal);

        Segment picture;
        picture.nOffset = m_nSize;
        picture.nLength = m_nPictureBytes;
        picture.nPicture = i;
        m_vecSegments.push_back(picture);
        m_nSize += m_nPictureBytes;

        append32(strCentral, 0x02014b50);
        append16(strCentral, 20);  // made by
        append16(strCentral, kVersionStored);
        append16(strCentral, 0);
        append16(strCentral, 0);
        append16(strCentral, kDosTime);
        append16(strCentral, kDosDate);
        append32(strCentral, nCrc);
        append32(strCentral, m_nPictureBytes);
        append32(strCentral, m_nPictureBytes);
        append16(strCentral, static_cast<std::uint16_t>(strName.size()));
        append16(strCentral, 0);  // extra field
        append16(strCentral, 0);  // comment
        append16(strCentral, 0);  // disk
        append16(strCentral, 0);  // internal attributes
        append32(strCentral, 0);  // external attributes
        append32(strCentral, nLocalOffset);
        strCentral += strName;
    }
    const auto nCentralOffset = static_cast<std::uint32_t>(m_nSize);
    std::string strEnd;
    append32(strEnd, 0x06054b50);
    append16(strEnd, 0);
    append16(strEnd, 0);
    append16(strEnd, static_cast<std::uint16_t>(m_nCount));
    append16(strEnd, static_cast<std::uint16_t>(m_nCount));
    append32(strEnd, static_cast<std::uint32_t>(strCentral.size()));
    append32(strEnd, nCentralOffset);
    append16(strEnd, 0);  // comment
    addBytes(strCentral + strEnd);
}

bool CPicturePackageBody::read(std::uint64_t nOffset, char* pBuffer, std::size_t nLength)
{
    if (nOffset > m_nSize || nLength > m_nSize - nOffset) {
        return false;
    }
    // The last segment that starts at or before the offset, then on from there.
    auto nSegment =
        static_cast<std::size_t>(std::upper_bound(m_vecSegments.begin(), m_vecSegments.end(), nOffset,
                                                  [](std::uint64_t nValue, const Segment& segment) {
                                                      return nValue < segment.nOffset;
                                                  }) -
                                 m_vecSegments.begin() - 1);
    std::size_t nDone = 0;
    for (; nDone < nLength && nSegment < m_vecSegments.size(); ++nSegment) {
        const Segment& segment = m_vecSegments[nSegment];
        const std::uint64_t nWithin = nOffset + nDone - segment.nOffset;
        const auto nChunk =
            static_cast<std::size_t>(std::min<std::uint64_t>(nLength - nDone, segment.nLength - nWithin));
        if (segment.nPicture < 0) {
            std::copy_n(segment.strBytes.data() + nWithin, nChunk, pBuffer + nDone);
        } else {
            CGeneratedBody::fill(picturePattern(segment.nPicture), nWithin, pBuffer + nDone, nChunk);
        }
        nDone += nChunk;
    }
    return nDone == nLength;
}

QByteArray CPicturePackageBody::sha256()
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    std::vector<char> buffer(kSliceBytes);
    for (std::uint64_t nPos = 0; nPos < m_nSize; nPos += buffer.size()) {
        const auto nChunk = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), m_nSize - nPos));
        read(nPos, buffer.data(), nChunk);
        hash.addData(buffer.data(), static_cast<int>(nChunk));
    }
    return hash.result().toHex();
}

std::string CPicturePackageBody::entryName(int nIndex)
{
    char name[32];
    std::snprintf(name, sizeof(name), "picture_%04d.bin", nIndex);
    return name;
}

void CPicturePackageBody::addBytes(const std::string& strBytes)
{
    Segment segment;
    segment.nOffset = m_nSize;
    segment.nLength = strBytes.size();
    segment.strBytes = strBytes;
    m_vecSegments.push_back(segment);
    m_nSize += strBytes.size();
}
