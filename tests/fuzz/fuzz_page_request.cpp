#include "FuzzProcess.h"
#include "QDownloadCenter.h"

// The page's request text, as the browser hands it to the window: one window for the whole run,
// embedded as the host embeds it.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    static QDownloadCenter* pWindow = QDownloadCenter::instance();
    pWindow->initWidget(fuzz::hostWidget());
    pWindow->onRPCcall(nullptr, fuzz::text(pData, nSize));
    fuzz::settle();
    return 0;
}
