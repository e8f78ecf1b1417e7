#pragma once

class QUrl;

namespace Common {

// Whether a redirect from one address to another is followed: only to http or https, and never
// down from https, where the rest of the transfer could be read and changed on its way.
bool isRedirectAllowed(const QUrl& from, const QUrl& to);

}  // namespace Common
