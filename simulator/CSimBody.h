#pragma once

#include <cstddef>
#include <cstdint>

// A response body read piece by piece, so that no body is ever held whole in memory. Each
// response gets its own instance; it is used from one server thread at a time.
class CSimBody
{
public:
    virtual ~CSimBody() = default;

    virtual std::uint64_t size() const = 0;
    // Fills pBuffer with nLength bytes starting at nOffset; false when they cannot be read.
    virtual bool read(std::uint64_t nOffset, char* pBuffer, std::size_t nLength) = 0;
};
