#pragma once

#include "Log.h"
#include "MessageValue.h"
#include "NamedNotifier.h"
#include "Shared/ExtensionTab.h"

#include <QByteArrayView>
#include <QDateTime>

#include <functional>
#include <optional>

namespace ondrake {

// Turns the web extension's "state" messages into the exchange file and the notification the
// application listens for. Each message stands alone; the extension is never answered.
class SafariWebExtensionHandler {
public:
    using Clock = std::function<QDateTime()>;

    // `realHome` is the user's real home folder, under which the exchange folder lies.
    SafariWebExtensionHandler(QString realHome, NamedNotifier &notifier, Clock clock = &QDateTime::currentDateTimeUtc);

    // Handles one message as the browser delivered it, UTF-8 JSON; anything but a "state"
    // message is ignored.
    void beginRequest(QByteArrayView payload);

    // The message as an object; nothing when the bytes are not one JSON object. It reads from
    // `payload`, which must outlive it.
    static std::optional<MessageValue> message(QByteArrayView payload);
    // Writes the state the message describes and posts the notification once it is on disk.
    // Without a usable "tabs" array nothing is written.
    void handleState(const MessageValue &message);
    // One element of "tabs"; nothing when it lacks an integer "safariTabId" or "safariWindowId".
    static std::optional<ExtensionTab> tab(const MessageValue &element);

private:
    struct Members;
    static Members membersOf(const MessageValue &message);
    void handleState(const Members &members);

    const Logger log_{QStringLiteral("extension")};
    QString realHome_;
    NamedNotifier &notifier_;
    Clock clock_;
};

}  // namespace ondrake
