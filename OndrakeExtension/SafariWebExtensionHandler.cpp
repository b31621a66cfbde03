#include "SafariWebExtensionHandler.h"

#include "AtomicFile.h"
#include "Shared/ExtensionState.h"

#include <QDir>

namespace ondrake {

// The last value of each named member, as a JSON object with a repeated key means it.
struct SafariWebExtensionHandler::Members {
    std::optional<MessageValue> type, tabs, focusedWindowId;
};

SafariWebExtensionHandler::Members SafariWebExtensionHandler::membersOf(const MessageValue &message) {
    Members found;
    for (MessageCursor member(message); member.next();) {
        const MessageValue &key = member.key();
        if (key.textEquals(QLatin1StringView("type"))) found.type = member.value();
        else if (key.textEquals(QLatin1StringView("tabs"))) found.tabs = member.value();
        else if (key.textEquals(QLatin1StringView("focusedWindowId"))) found.focusedWindowId = member.value();
    }
    return found;
}

SafariWebExtensionHandler::SafariWebExtensionHandler(QString realHome, NamedNotifier &notifier, Clock clock)
    : realHome_(std::move(realHome)), notifier_(notifier), clock_(std::move(clock)) {}

void SafariWebExtensionHandler::beginRequest(QByteArrayView payload) {
    const auto object = message(payload);
    if (!object) return;
    // Read once: walking the members means stepping over the whole "tabs" array.
    const Members members = membersOf(*object);
    if (!members.type || !members.type->textEquals(QLatin1StringView("state"))) return;
    handleState(members);
}

std::optional<MessageValue> SafariWebExtensionHandler::message(QByteArrayView payload) {
    auto value = MessageValue::parse(payload);
    if (!value || value->kind() != MessageValue::Kind::object) return std::nullopt;
    return value;
}

// Integers are numbers whose exact value is whole and fits in 64 bits (3.0 is 3; true is not 1,
// and neither end of the range takes a number beyond it); booleans are JSON true and false only.
// Anything else counts as missing.
std::optional<ExtensionTab> SafariWebExtensionHandler::tab(const MessageValue &element) {
    std::optional<qint64> tabID, windowID;
    std::optional<MessageValue> title, url;
    bool active = false, pinned = false;
    for (MessageCursor member(element); member.next();) {
        const MessageValue &key = member.key();
        const MessageValue &value = member.value();
        if (key.textEquals(QLatin1StringView("safariTabId"))) tabID = value.integer();
        else if (key.textEquals(QLatin1StringView("safariWindowId"))) windowID = value.integer();
        else if (key.textEquals(QLatin1StringView("title"))) title = value;
        else if (key.textEquals(QLatin1StringView("url"))) url = value;
        else if (key.textEquals(QLatin1StringView("active"))) active = value.isTrue();
        else if (key.textEquals(QLatin1StringView("pinned"))) pinned = value.isTrue();
    }
    if (!tabID || !windowID) return std::nullopt;
    const bool titled = title && title->kind() == MessageValue::Kind::string;
    const bool addressed = url && url->kind() == MessageValue::Kind::string;
    return ExtensionTab{
        *tabID,
        *windowID,
        titled ? title->text() : QString(),
        addressed ? ExtensionTab::parseURL(url->text()) : std::nullopt,
        active,
        pinned,
    };
}

void SafariWebExtensionHandler::handleState(const MessageValue &message) { handleState(membersOf(message)); }

void SafariWebExtensionHandler::handleState(const Members &members) {
    if (!members.tabs || members.tabs->kind() != MessageValue::Kind::array) return;
    const QDateTime now = clock_();
    if (!now.isValid()) return;

    // Each tab goes straight into the file's bytes: a session of many thousand tabs is never held
    // as values. The file is about the message's size, a little more for its escaped slashes.
    const qsizetype expected = members.tabs->byteSize() + members.tabs->byteSize() / 8 + 256;
    ExtensionStateWriter writer(OndrakeExtensionProtocol::version, now, expected);
    for (MessageCursor element(*members.tabs); element.next();) {
        if (element.value().kind() != MessageValue::Kind::object) return;
        if (const auto converted = tab(element.value())) writer.add(*converted);
    }
    const auto focused = members.focusedWindowId ? members.focusedWindowId->integer() : std::nullopt;

    const auto folder = OndrakeExtensionProtocol::exchangeDirectory(true, realHome_);
    if (!folder) return;
    const QByteArray bytes = std::move(writer).finish(focused);
    // Readers must never see a partial file; durability does not matter, the extension resends.
    const FileResult written =
        AtomicFile::replaceUnsynced(QDir(*folder).filePath(OndrakeExtensionProtocol::stateFileName), bytes);
    if (!written) {
        log_.debug("Could not write extension state: %{public}s", written.error);
        return;
    }
    notifier_.post(OndrakeExtensionProtocol::stateChangedNotification);
}

}  // namespace ondrake
