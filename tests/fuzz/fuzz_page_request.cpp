#include "FuzzProcess.h"
#include "QDownloadCenter.h"

#include <hostcomponents/CBrowser.h>

#include "CBrowserBridge.h"

// The page's request text, as the browser hands it to the window: one window for the whole run,
// embedded as the host embeds it.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    static QWidget* pHost = new QWidget;
    static QDownloadCenter* pWindow = QDownloadCenter::instance();
    pWindow->initWidget(pHost);
    // The page that asks has loaded and subscribed (its bridge's ready()), so answers go out
    // rather than wait; a log-out takes the browser out of the window, hence kept from the start.
    static CBrowserBridge* pBridge = pWindow->findChild<CBrowser*>()->findChild<CBrowserBridge*>();
    pBridge->ready();
    pWindow->onRPCcall(nullptr, QString::fromUtf8(reinterpret_cast<const char*>(pData), int(nSize)));
    fuzz::settle();
    return 0;
}
