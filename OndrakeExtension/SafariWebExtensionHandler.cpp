#include "SafariWebExtensionHandler.h"

#include "AtomicFile.h"
#include "FoundationJson.h"
#include "Shared/ExtensionState.h"

#include <QDir>
#include <QJsonArray>

namespace ondrake {

namespace {

// Integers are whole JSON numbers that fit in 64 bits (3.0 is 3; true is not 1); booleans are
// JSON true and false only. Anything else counts as missing.
std::optional<qint64> integer(const QJsonObject &object, QLatin1StringView key) {
    return json::integerValue(object.value(key));
}

bool boolean(const QJsonObject &object, QLatin1StringView key) {
    const QJsonValue value = object.value(key);
    return value.isBool() && value.toBool();
}

}  // namespace

SafariWebExtensionHandler::SafariWebExtensionHandler(QString realHome, NamedNotifier &notifier, Clock clock)
    : realHome_(std::move(realHome)), notifier_(notifier), clock_(std::move(clock)) {}

void SafariWebExtensionHandler::beginRequest(const QByteArray &payload) {
    const auto object = message(payload);
    if (!object || object->isEmpty()) return;
    if (object->value(QLatin1StringView("type")) != QJsonValue(QStringLiteral("state"))) return;
    handleState(*object);
}

std::optional<QJsonObject> SafariWebExtensionHandler::message(const QByteArray &payload) {
    const auto document = json::parse(payload);
    if (!document || !document->isObject()) return std::nullopt;
    return document->object();
}

std::optional<ExtensionTab> SafariWebExtensionHandler::tab(const QJsonObject &element) {
    const auto tabID = integer(element, QLatin1StringView("safariTabId"));
    const auto windowID = integer(element, QLatin1StringView("safariWindowId"));
    if (!tabID || !windowID) return std::nullopt;
    const QJsonValue title = element.value(QLatin1StringView("title"));
    const QJsonValue url = element.value(QLatin1StringView("url"));
    return ExtensionTab{
        *tabID,
        *windowID,
        title.isString() ? title.toString() : QString(),
        url.isString() ? ExtensionTab::parseURL(url.toString()) : std::nullopt,
        boolean(element, QLatin1StringView("active")),
        boolean(element, QLatin1StringView("pinned")),
    };
}

void SafariWebExtensionHandler::handleState(const QJsonObject &message) {
    const QJsonValue tabsValue = message.value(QLatin1StringView("tabs"));
    if (!tabsValue.isArray()) return;
    const QJsonArray elements = tabsValue.toArray();
    for (const QJsonValue &element : elements)
        if (!element.isObject()) return;

    ExtensionState state;
    state.version = OndrakeExtensionProtocol::version;
    state.updatedAt = clock_();
    state.tabs.reserve(std::size_t(elements.size()));
    for (const QJsonValue &element : elements)
        if (auto converted = tab(element.toObject())) state.tabs.push_back(std::move(*converted));
    state.focusedWindowID = integer(message, QLatin1StringView("focusedWindowId"));

    const auto folder = OndrakeExtensionProtocol::exchangeDirectory(true, realHome_);
    if (!folder) return;
    const auto bytes = state.encoded();
    if (!bytes) return;
    // Readers must never see a partial file; durability does not matter, the extension resends.
    const FileResult written =
        AtomicFile::replaceUnsynced(QDir(*folder).filePath(OndrakeExtensionProtocol::stateFileName), *bytes);
    if (!written) {
        log_.debug("Could not write extension state: %{public}s", written.error);
        return;
    }
    notifier_.post(OndrakeExtensionProtocol::stateChangedNotification);
}

}  // namespace ondrake
