#include "RedirectRule.h"

#include <QUrl>

namespace Common {

bool isRedirectAllowed(const QUrl& from, const QUrl& to)
{
    return to.scheme() == QLatin1String("https") ||
           (to.scheme() == QLatin1String("http") && from.scheme() != QLatin1String("https"));
}

}  // namespace Common
