#pragma once

#include <atomic>

namespace httplib {
class Server;
}

// One family of addresses of the simulator (public files, generated bodies, later the web
// page and the device endpoints). A route only registers handlers; the server owns them.
class CSimRoute
{
public:
    virtual ~CSimRoute() = default;

    // Registers the route's handlers. bStopping turns true when the server shuts down: long
    // or paced bodies check it so that stopping never waits on a slow client.
    virtual void install(httplib::Server& server, const std::atomic_bool& bStopping) = 0;
};
