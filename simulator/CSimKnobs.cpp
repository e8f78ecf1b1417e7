#include "CSimKnobs.h"

#include <httplib.h>

#include <QByteArray>

#include <cerrno>
#include <cstdlib>

namespace {

// A whole decimal number, or fallback.
std::int64_t number(const httplib::Request& request, const char* pKey, std::int64_t nFallback)
{
    if (!request.has_param(pKey)) {
        return nFallback;
    }
    const std::string strValue = request.get_param_value(pKey);
    if (strValue.empty()) {
        return nFallback;
    }
    char* pEnd = nullptr;
    errno = 0;
    const long long nValue = std::strtoll(strValue.c_str(), &pEnd, 10);
    if (errno != 0 || pEnd == nullptr || *pEnd != '\0' || nValue < 0) {
        return nFallback;
    }
    return nValue;
}

}  // namespace

CSimKnobs CSimKnobs::fromRequest(const httplib::Request& request)
{
    CSimKnobs knobs;
    knobs.nRate = number(request, "rate", 0);
    knobs.nDropAfter = number(request, "dropAfter", -1);
    knobs.nStallAfter = number(request, "stallAfter", -1);
    knobs.bUnknownLength = request.get_param_value("length") == "unknown";
    knobs.bIgnoreRange = request.get_param_value("range") == "ignore";
    knobs.nRangeFrom = number(request, "rangeFrom", -1);
    const std::int64_t nStatus = number(request, "status", 0);
    knobs.nStatus = (nStatus >= 400 && nStatus <= 599) ? static_cast<int>(nStatus) : 0;
    // Bounded: a client that follows redirects forever must not keep a server thread busy.
    const std::int64_t nRedirects = number(request, "redirect", 0);
    knobs.nRedirects = nRedirects > 100 ? 100 : static_cast<int>(nRedirects);
    return knobs;
}

bool CSimKnobs::answerEarly(const httplib::Request& request, httplib::Response& response) const
{
    if (nRedirects > 0) {
        httplib::Params params = request.params;
        // The last hop says 0, so that a device's own redirect knob does not start over there.
        params.erase("redirect");
        params.emplace("redirect", std::to_string(nRedirects - 1));
        // The server hands the path over decoded; a Location header needs it encoded again.
        const std::string strPath =
            QByteArray::fromStdString(request.path).toPercentEncoding("/").toStdString();
        response.set_redirect(httplib::append_query_params(strPath, params), 302);
        return true;
    }
    if (nStatus != 0) {
        response.status = nStatus;
        response.set_content("simulated status " + std::to_string(nStatus) + "\n", "text/plain");
        return true;
    }
    return false;
}
