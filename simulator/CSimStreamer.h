#pragma once

#include "CSimBody.h"
#include "CSimKnobs.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace httplib {
struct Request;
struct Response;
}  // namespace httplib

// Sends a body the way the knobs ask: paced, cut, stalled or without a length, and honours
// a single Range (206 with Content-Range, 416 when it cannot be satisfied). The body is read
// in bounded slices while it is sent.
class CSimStreamer
{
public:
    // Outcome of reading a Range header against a body size.
    struct Range
    {
        enum class Kind
        {
            None,
            Satisfiable,
            Unsatisfiable
        };
        Kind eKind = Kind::None;
        std::uint64_t nFirst = 0;
        std::uint64_t nLast = 0;
    };

    // One "bytes=" range; malformed values and lists of several ranges give Kind::None, that
    // is the whole body, as HTTP allows.
    static Range parseRange(const std::string& strHeader, std::uint64_t nSize);

    static void serve(const httplib::Request& request, httplib::Response& response,
                      std::shared_ptr<CSimBody> pBody, const CSimKnobs& knobs,
                      const std::string& strContentType, const std::atomic_bool& bStopping);
};
