#pragma once

#include "CSimRoute.h"

// GET /generated/<size>[/<any name>][?pattern=<n>]: <size> deterministic bytes (CGeneratedBody)
// made while they are sent, so bodies of any size cost no memory. The name only lets the
// address end like a file; the knobs of CSimKnobs apply.
class CGeneratedRoute : public CSimRoute
{
public:
    void install(httplib::Server& server, const std::atomic_bool& bStopping) override;
};
