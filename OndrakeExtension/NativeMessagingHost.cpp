#include "NativeMessagingHost.h"

#include "SafariWebExtensionHandler.h"

namespace ondrake {

int NativeMessagingHost::run() {
    NativeMessageReader reader(input_, maximumLength_);
    for (;;) {
        NativeMessageReader::Next next = reader.next();
        switch (next.outcome) {
        case NativeMessageReader::Outcome::message:
            handler_.beginRequest(next.payload);
            break;
        case NativeMessageReader::Outcome::end:
            return 0;
        case NativeMessageReader::Outcome::tooLong:
            // The application never sees this session; an administrator must, and debug lines are
            // not kept by the log.
            log_.error("Refusing a native message of %{public}ld bytes; the limit is %{public}ld", next.length,
                       reader.maximumLength());
            break;
        case NativeMessageReader::Outcome::truncated:
            log_.debug("Native message input ended inside a message");
            return 0;
        }
    }
}

}  // namespace ondrake
