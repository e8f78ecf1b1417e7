#include "CGeneratedBody.h"

namespace {

// splitmix64: cheap, well mixed, and addressable by word index.
std::uint64_t wordAt(std::uint64_t nPattern, std::uint64_t nIndex)
{
    std::uint64_t z = nPattern + (nIndex + 1) * 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

}  // namespace

CGeneratedBody::CGeneratedBody(std::uint64_t nSize, std::uint64_t nPattern)
    : m_nSize(nSize), m_nPattern(nPattern)
{
}

bool CGeneratedBody::read(std::uint64_t nOffset, char* pBuffer, std::size_t nLength)
{
    if (nOffset > m_nSize || nLength > m_nSize - nOffset) {
        return false;
    }
    fill(m_nPattern, nOffset, pBuffer, nLength);
    return true;
}

void CGeneratedBody::fill(std::uint64_t nPattern, std::uint64_t nOffset, char* pBuffer, std::size_t nLength)
{
    // Bytes of a word in little-endian order, whatever the machine.
    const auto byteAt = [nPattern](std::uint64_t nPos) {
        return static_cast<char>(wordAt(nPattern, nPos / 8) >> (8 * (nPos % 8)));
    };
    std::size_t nDone = 0;
    while (nDone < nLength && (nOffset + nDone) % 8 != 0) {
        pBuffer[nDone] = byteAt(nOffset + nDone);
        ++nDone;
    }
    std::uint64_t nIndex = (nOffset + nDone) / 8;
    while (nLength - nDone >= 8) {
        const std::uint64_t nWord = wordAt(nPattern, nIndex++);
        for (int i = 0; i < 8; ++i) {
            pBuffer[nDone + i] = static_cast<char>(nWord >> (8 * i));
        }
        nDone += 8;
    }
    while (nDone < nLength) {
        pBuffer[nDone] = byteAt(nOffset + nDone);
        ++nDone;
    }
}
