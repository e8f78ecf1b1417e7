#pragma once

#include "CSimBody.h"

#include <QByteArray>

#include <cstdint>
#include <string>
#include <vector>

// A device's pictures of one channel for a time range, packed as a ZIP archive with stored
// (uncompressed) entries "picture_0001.bin", ... Each picture is deterministic bytes, so the
// archive is the same for the same request and its size is known before it is sent. Only the
// headers are kept in memory; picture bytes are made as they are read.
class CPicturePackageBody : public CSimBody
{
public:
    CPicturePackageBody(const std::string& strDeviceId, int nChannel, std::uint32_t nBegin,
                        std::uint32_t nEnd, int nCount, std::uint32_t nPictureBytes);

    std::uint64_t size() const override { return m_nSize; }
    bool read(std::uint64_t nOffset, char* pBuffer, std::size_t nLength) override;

    int count() const { return m_nCount; }
    // Hex SHA-256 of the whole archive.
    QByteArray sha256();

    static std::string entryName(int nIndex);

private:
    // A piece of the archive: header bytes held here, or the bytes of one picture.
    struct Segment
    {
        std::uint64_t nOffset = 0;
        std::uint64_t nLength = 0;
        std::string strBytes;  // header bytes, when nPicture is -1
        int nPicture = -1;
    };

    void addBytes(const std::string& strBytes);
    std::uint64_t picturePattern(int nPicture) const
    {
        return m_nPattern + static_cast<std::uint64_t>(nPicture);
    }

    std::vector<Segment> m_vecSegments;
    std::uint64_t m_nSize = 0;
    std::uint64_t m_nPattern = 0;
    int m_nCount = 0;
    std::uint32_t m_nPictureBytes = 0;
};
