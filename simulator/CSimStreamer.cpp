#include "CSimStreamer.h"

#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

namespace {

constexpr std::size_t kSliceBytes = 256 * 1024;
// A stalled body gives up after this long even if the client never leaves.
constexpr auto kLongestStall = std::chrono::seconds(120);
constexpr auto kPollStep = std::chrono::milliseconds(20);

using Clock = std::chrono::steady_clock;

bool parseNumber(const std::string& strText, std::uint64_t& nValue)
{
    if (strText.empty() || strText.size() > 19 ||
        !std::all_of(strText.begin(), strText.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return false;
    }
    nValue = std::stoull(strText);
    return true;
}

std::string trimmed(const std::string& strText)
{
    const auto nBegin = strText.find_first_not_of(" \t");
    if (nBegin == std::string::npos) {
        return std::string();
    }
    const auto nEnd = strText.find_last_not_of(" \t");
    return strText.substr(nBegin, nEnd - nBegin + 1);
}

// Sleeps until tDue unless the server stops first; false when it stopped.
bool sleepUntil(Clock::time_point tDue, const std::atomic_bool& bStopping)
{
    while (Clock::now() < tDue) {
        if (bStopping) {
            return false;
        }
        std::this_thread::sleep_for(std::min<Clock::duration>(kPollStep, tDue - Clock::now()));
    }
    return !bStopping;
}

// What one response has sent so far, shared by the calls of its content provider.
struct Sending
{
    std::shared_ptr<CSimBody> pBody;
    CSimKnobs knobs;
    std::uint64_t nStart = 0;   // first body byte of the response
    std::uint64_t nLength = 0;  // bytes the response carries
    Clock::time_point tStart = Clock::now();
    std::vector<char> buffer;
    const std::atomic_bool* pStopping = nullptr;

    // Sends the next slice; false ends the response and closes the connection.
    bool sendNext(std::uint64_t nSent, httplib::DataSink& sink)
    {
        if (*pStopping) {
            return false;
        }
        if (knobs.nDropAfter >= 0 && nSent >= static_cast<std::uint64_t>(knobs.nDropAfter)) {
            return false;
        }
        if (knobs.nStallAfter >= 0 && nSent >= static_cast<std::uint64_t>(knobs.nStallAfter)) {
            const Clock::time_point tGiveUp = Clock::now() + kLongestStall;
            while (Clock::now() < tGiveUp && !*pStopping && sink.is_writable()) {
                std::this_thread::sleep_for(kPollStep);
            }
            return false;
        }
        std::uint64_t nSlice = std::min<std::uint64_t>(kSliceBytes, nLength - nSent);
        if (knobs.nDropAfter >= 0) {
            nSlice = std::min<std::uint64_t>(nSlice, static_cast<std::uint64_t>(knobs.nDropAfter) - nSent);
        }
        if (knobs.nStallAfter >= 0) {
            nSlice = std::min<std::uint64_t>(nSlice, static_cast<std::uint64_t>(knobs.nStallAfter) - nSent);
        }
        if (knobs.nRate > 0) {
            // Twenty slices a second keep the pace smooth without tiny writes.
            const auto nRate = static_cast<std::uint64_t>(knobs.nRate);
            nSlice = std::min<std::uint64_t>(nSlice, std::max<std::uint64_t>(1, nRate / 20));
            const auto tDue = tStart + std::chrono::microseconds(nSent * 1000000 / nRate);
            if (!sleepUntil(tDue, *pStopping)) {
                return false;
            }
        }
        if (nSlice == 0) {
            return true;
        }
        if (buffer.size() < nSlice) {
            buffer.resize(static_cast<std::size_t>(nSlice));
        }
        if (!pBody->read(nStart + nSent, buffer.data(), static_cast<std::size_t>(nSlice))) {
            return false;
        }
        return sink.write(buffer.data(), static_cast<std::size_t>(nSlice));
    }
};

}  // namespace

CSimStreamer::Range CSimStreamer::parseRange(const std::string& strHeader, std::uint64_t nSize)
{
    Range range;
    const std::string strValue = trimmed(strHeader);
    const std::string strUnit = "bytes=";
    if (strValue.compare(0, strUnit.size(), strUnit) != 0) {
        return range;
    }
    const std::string strRanges = trimmed(strValue.substr(strUnit.size()));
    if (strRanges.find(',') != std::string::npos) {
        return range;
    }
    const auto nDash = strRanges.find('-');
    if (nDash == std::string::npos) {
        return range;
    }
    const std::string strFirst = trimmed(strRanges.substr(0, nDash));
    const std::string strLast = trimmed(strRanges.substr(nDash + 1));
    std::uint64_t nFirst = 0;
    std::uint64_t nLast = 0;
    if (strFirst.empty()) {
        // The last N bytes.
        if (!parseNumber(strLast, nLast)) {
            return range;
        }
        if (nLast == 0 || nSize == 0) {
            range.eKind = Range::Kind::Unsatisfiable;
            return range;
        }
        range.eKind = Range::Kind::Satisfiable;
        range.nFirst = nSize - std::min(nLast, nSize);
        range.nLast = nSize - 1;
        return range;
    }
    if (!parseNumber(strFirst, nFirst)) {
        return range;
    }
    if (strLast.empty()) {
        nLast = nSize == 0 ? 0 : nSize - 1;
    } else if (!parseNumber(strLast, nLast) || nLast < nFirst) {
        return range;
    }
    if (nFirst >= nSize) {
        range.eKind = Range::Kind::Unsatisfiable;
        return range;
    }
    range.eKind = Range::Kind::Satisfiable;
    range.nFirst = nFirst;
    range.nLast = std::min(nLast, nSize - 1);
    return range;
}

void CSimStreamer::serve(const httplib::Request& request, httplib::Response& response,
                         std::shared_ptr<CSimBody> pBody, const CSimKnobs& knobs,
                         const std::string& strContentType, const std::atomic_bool& bStopping)
{
    // The library applies the parsed ranges to the response by itself and gets unsatisfiable
    // ones wrong; ranges are handled here instead, so its copy is emptied. The request object
    // belongs to the server thread and is not const, only the handler's view of it.
    const std::string strRangeHeader = request.get_header_value("Range");
    const_cast<httplib::Request&>(request).ranges.clear();

    auto pSending = std::make_shared<Sending>();
    pSending->pBody = std::move(pBody);
    pSending->knobs = knobs;
    pSending->pStopping = &bStopping;
    const std::uint64_t nSize = pSending->pBody->size();
    pSending->nLength = nSize;

    if (knobs.bUnknownLength) {
        response.status = 200;
        response.set_content_provider(strContentType,
                                      [pSending](std::size_t nOffset, httplib::DataSink& sink) {
                                          if (nOffset >= pSending->nLength) {
                                              sink.done();
                                              // Without a length the connection's end is the body's end.
                                              return false;
                                          }
                                          return pSending->sendNext(nOffset, sink);
                                      });
        return;
    }

    response.set_header("Accept-Ranges", "bytes");
    if (!strRangeHeader.empty() && !knobs.bIgnoreRange) {
        Range range = parseRange(strRangeHeader, nSize);
        if (range.eKind == Range::Kind::Satisfiable && knobs.nRangeFrom >= 0) {
            // A source that sends another part than asked for, up to the end.
            range.nFirst = std::min<std::uint64_t>(static_cast<std::uint64_t>(knobs.nRangeFrom), nSize - 1);
            range.nLast = nSize - 1;
        }
        if (range.eKind == Range::Kind::Unsatisfiable) {
            response.status = 416;
            response.set_header("Content-Range", "bytes */" + std::to_string(nSize));
            return;
        }
        if (range.eKind == Range::Kind::Satisfiable) {
            response.status = 206;
            response.set_header("Content-Range", "bytes " + std::to_string(range.nFirst) + "-" +
                                                     std::to_string(range.nLast) + "/" +
                                                     std::to_string(nSize));
            pSending->nStart = range.nFirst;
            pSending->nLength = range.nLast - range.nFirst + 1;
        }
    }
    if (response.status != 206) {
        response.status = 200;
    }
    if (pSending->nLength == 0) {
        response.set_content(std::string(), strContentType);
        return;
    }
    response.set_content_provider(static_cast<std::size_t>(pSending->nLength), strContentType,
                                  [pSending](std::size_t nOffset, std::size_t, httplib::DataSink& sink) {
                                      return pSending->sendNext(nOffset, sink);
                                  });
}
