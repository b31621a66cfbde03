#include "Log.h"
#include "Qt/TerminationSignals.h"

#include <QApplication>

#include <csignal>

using namespace ondrake;

int main(int argc, char *argv[]) {
    // A machine without a display still runs the application, drawing offscreen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ondrake"));
    QApplication::setOrganizationDomain(QStringLiteral("ondrake.com"));
    QApplication::setQuitOnLastWindowClosed(false);

    const Logger log(QStringLiteral("App"));
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::received, &app, [&](int number) {
        log.info("Received signal %{public}d; quitting", number);
        QApplication::quit();
    });

    log.info("Ondrake started");
    const int status = QApplication::exec();
    log.info("Ondrake stopped");
    return status;
}
