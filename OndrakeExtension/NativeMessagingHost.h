#pragma once

#include "Log.h"
#include "NativeMessageReader.h"

#include <QIODevice>

namespace ondrake {

class SafariWebExtensionHandler;

// The program's run: hands every message of the input to the handler until the input ends. A
// message over the limit is skipped with one error line; one cut off by the end of the input ends
// the run with one debug line. The run always ends as a clean exit.
class NativeMessagingHost {
public:
    NativeMessagingHost(QIODevice &input, SafariWebExtensionHandler &handler,
                        quint32 maximumLength = NativeMessageReader::kMaximumLength)
        : input_(input), handler_(handler), maximumLength_(maximumLength) {}

    int run();  // the exit status: always 0

private:
    const Logger log_{QStringLiteral("extension")};
    QIODevice &input_;
    SafariWebExtensionHandler &handler_;
    quint32 maximumLength_;
};

}  // namespace ondrake
