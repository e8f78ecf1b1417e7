#pragma once

#include <QtGlobal>

// What the DownloadApp library shows other modules. Code compiled into the library defines
// DOWNLOADAPP_LIBRARY; its users see the same declarations as imports.
#if defined(DOWNLOADAPP_LIBRARY)
#define DOWNLOADAPP_EXPORT Q_DECL_EXPORT
#else
#define DOWNLOADAPP_EXPORT Q_DECL_IMPORT
#endif
