#include "NativeMessagingHost.h"
#include "Paths.h"
#include "Qt/DBusNamedNotifier.h"
#include "SafariWebExtensionHandler.h"

#include <QCoreApplication>
#include <QFile>

#include <unistd.h>

using namespace ondrake;

// The browser starts this program for its extension and writes native messages to its standard
// input. Standard output belongs to the browser too, as the reply channel: nothing is ever written
// there.
int main(int argc, char *argv[]) {
    const QCoreApplication app(argc, argv);  // the bus connection needs one
    QFile input;
    if (!input.open(STDIN_FILENO, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle)) return 0;
    DBusNamedNotifier notifier;
    SafariWebExtensionHandler handler(Paths::system().home, notifier);
    return NativeMessagingHost(input, handler).run();
}
