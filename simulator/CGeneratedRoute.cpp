#include "CGeneratedRoute.h"

#include "CGeneratedBody.h"
#include "CSimKnobs.h"
#include "CSimStreamer.h"

#include <httplib.h>

#include <cerrno>
#include <cstdlib>

void CGeneratedRoute::install(httplib::Server& server, const std::atomic_bool& bStopping)
{
    const std::atomic_bool* pStopping = &bStopping;
    server.Get(R"(/generated/(\d{1,19})(/[^?]*)?)", [pStopping](const httplib::Request& request,
                                                                httplib::Response& response) {
        const CSimKnobs knobs = CSimKnobs::fromRequest(request);
        if (knobs.answerEarly(request, response)) {
            return;
        }
        errno = 0;
        const unsigned long long nSize = std::strtoull(request.matches[1].str().c_str(), nullptr, 10);
        const unsigned long long nPattern =
            request.has_param("pattern")
                ? std::strtoull(request.get_param_value("pattern").c_str(), nullptr, 10)
                : 0;
        if (errno != 0) {
            response.status = 400;
            response.set_content("size out of range\n", "text/plain");
            return;
        }
        CSimStreamer::serve(request, response, std::make_shared<CGeneratedBody>(nSize, nPattern), knobs,
                            "application/octet-stream", *pStopping);
    });
}
