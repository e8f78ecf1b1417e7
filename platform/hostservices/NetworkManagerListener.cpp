#include <hostservices/NetworkManagerListener.h>

namespace Common {

NetworkManagerListener::NetworkManagerListener() = default;

NetworkManagerListener::~NetworkManagerListener() = default;

}  // namespace Common
