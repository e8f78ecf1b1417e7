#pragma once

#include <cstdint>

namespace httplib {
struct Request;
struct Response;
}  // namespace httplib

// How one response misbehaves, read from the query of its request, so that every route
// serving a body honours the same knobs:
//   rate=<bytes per second>  paces the body
//   dropAfter=<bytes>        closes the connection after that many body bytes
//   stallAfter=<bytes>       sends that many body bytes, then nothing until the client leaves
//   length=unknown           no Content-Length: the body ends when the connection closes
//   status=<400..599>        answers with that status instead of the body
//   redirect=<count>         answers 302 to the same address with count - 1, down to 0
//   range=ignore             answers a Range request with 200 and the whole body
//   rangeFrom=<offset>       answers a satisfiable Range request from that offset instead
// Values that do not parse are ignored.
struct CSimKnobs
{
    std::int64_t nRate = 0;         // 0: as fast as the client reads
    std::int64_t nDropAfter = -1;   // -1: never
    std::int64_t nStallAfter = -1;  // -1: never
    bool bUnknownLength = false;
    int nStatus = 0;     // 0: the route's own answer
    int nRedirects = 0;  // redirects still to go
    bool bIgnoreRange = false;
    std::int64_t nRangeFrom = -1;  // -1: the range asked for

    static CSimKnobs fromRequest(const httplib::Request& request);

    // Answers a forced status or a redirect; true when the response is complete.
    bool answerEarly(const httplib::Request& request, httplib::Response& response) const;
};
