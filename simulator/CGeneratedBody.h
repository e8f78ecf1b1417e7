#pragma once

#include "CSimBody.h"

// Deterministic bytes of any size: the byte at an offset depends only on the pattern and the
// offset, so any range can be produced on its own and a client can check what it got.
class CGeneratedBody : public CSimBody
{
public:
    CGeneratedBody(std::uint64_t nSize, std::uint64_t nPattern);

    std::uint64_t size() const override { return m_nSize; }
    bool read(std::uint64_t nOffset, char* pBuffer, std::size_t nLength) override;

    // The same bytes without a body object, for clients that check what they received.
    static void fill(std::uint64_t nPattern, std::uint64_t nOffset, char* pBuffer, std::size_t nLength);

private:
    std::uint64_t m_nSize = 0;
    std::uint64_t m_nPattern = 0;
};
