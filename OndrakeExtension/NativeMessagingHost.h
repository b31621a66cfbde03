#pragma once

#include "Log.h"

#include <QIODevice>

namespace ondrake {

class SafariWebExtensionHandler;

// The program's run: hands every message of the input to the handler until the input ends. A
// message it must refuse (too long, cut off) ends the run with one debug line, as a clean exit.
class NativeMessagingHost {
public:
    NativeMessagingHost(QIODevice &input, SafariWebExtensionHandler &handler) : input_(input), handler_(handler) {}

    int run();  // the exit status: always 0

private:
    const Logger log_{QStringLiteral("extension")};
    QIODevice &input_;
    SafariWebExtensionHandler &handler_;
};

}  // namespace ondrake
