#include "Qt/XcbConnection.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

namespace ondrake {

xcb_connection_t *applicationXcbConnection() {
#if QT_CONFIG(xcb)
    // The offscreen platform may answer as an X11 application too, without a connection.
    if (!qGuiApp || QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
    const auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
#else
    return nullptr;
#endif
}

}  // namespace ondrake
