#include "SimulatedScriptEngine.h"

#include <QRegularExpression>

#include <chrono>

namespace ondrake {

namespace {

// Handler declarations of a script text: lower-cased name -> number of parameters.
std::map<QString, int> declaredHandlers(const QString &source) {
    static const QRegularExpression declaration(QStringLiteral(R"(^[ \t]*on[ \t]+(\w+)[ \t]*\(([^)]*)\))"),
                                                QRegularExpression::MultilineOption);
    std::map<QString, int> handlers;
    auto it = declaration.globalMatch(source);
    while (it.hasNext()) {
        const auto m = it.next();
        const auto name = m.captured(1);
        const QRegularExpression end(QStringLiteral(R"(^[ \t]*end[ \t]+%1\b)").arg(name),
                                     QRegularExpression::MultilineOption | QRegularExpression::CaseInsensitiveOption);
        if (!end.match(source).hasMatch()) continue;
        const auto params = m.captured(2).trimmed();
        handlers[name.toLower()] = params.isEmpty() ? 0 : int(params.split(QLatin1Char(',')).size());
    }
    return handlers;
}

std::vector<std::int64_t> integers(const AppleEventDescriptor &list) {
    std::vector<std::int64_t> out;
    for (const auto &item : list.items()) out.push_back(item.int32Value());
    return out;
}

std::vector<QString> texts(const AppleEventDescriptor &list) {
    std::vector<QString> out;
    for (const auto &item : list.items()) out.push_back(item.stringValue().value_or(QString()));
    return out;
}

AppleEventDescriptor word(const QString &w) { return AppleEventDescriptor::fromString(w); }

}  // namespace

const std::vector<SimulatedScriptEngine::Handler> &SimulatedScriptEngine::servedHandlers() {
    static const std::vector<Handler> handlers{
        {QStringLiteral("getSnapshot"), 0},         {QStringLiteral("activateTab"), 4},
        {QStringLiteral("closeTab"), 3},            {QStringLiteral("closeTabs"), 3},
        {QStringLiteral("moveTabs"), 6},            {QStringLiteral("reserveSpace"), 2},
        {QStringLiteral("setLeftEdge"), 1},         {QStringLiteral("restoreWindowBounds"), 9},
        {QStringLiteral("isWindowZoomed"), 1},      {QStringLiteral("openTab"), 2},
        {QStringLiteral("addReadingListItem"), 2},  {QStringLiteral("resolveTabIndex"), 3},
    };
    return handlers;
}

void SimulatedScriptEngine::Gate::open() {
    const std::lock_guard lock(mutex_);
    open_ = true;
    changed_.notify_all();
}

bool SimulatedScriptEngine::Gate::waitUntilReached() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(30), [this] { return reached_; });
}

bool SimulatedScriptEngine::Gate::hasBeenReached() {
    const std::lock_guard lock(mutex_);
    return reached_;
}

void SimulatedScriptEngine::Gate::pass() {
    std::unique_lock lock(mutex_);
    reached_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return open_; });
}

class SimulatedScriptEngine::SimulatedScript final : public Script {
public:
    SimulatedScript(SimulatedScriptEngine &engine, QString source) : engine_(engine), source_(std::move(source)) {}

    std::optional<ScriptErrorInfo> compile() override {
        if (auto failure = engine_.compileFailure()) return failure;
        auto declared = declaredHandlers(source_);
        for (const auto &h : servedHandlers()) {
            const auto it = declared.find(h.name.toLower());
            if (it == declared.end())
                return ScriptErrorInfo{-2753, QStringLiteral("The handler %1 is not defined.").arg(h.name)};
            if (it->second != h.parameterCount)
                return ScriptErrorInfo{-2763, QStringLiteral("The handler %1 takes %2 parameters, not %3.")
                                                  .arg(h.name).arg(h.parameterCount).arg(it->second)};
        }
        handlers_ = std::move(declared);
        compiled_ = true;
        return std::nullopt;
    }

    ScriptExecution execute(const AppleEvent &event) override {
        engine_.record(event);
        if (!compiled_) return {{}, ScriptErrorInfo{-1751, QStringLiteral("The script has not been compiled.")}};
        if (event.eventClass != QLatin1String("ascr") || event.eventID != QLatin1String("psbr"))
            return {{}, ScriptErrorInfo{-1708, QStringLiteral("The script doesn\u2019t understand the event.")}};
        const auto name = event.parameter(QStringLiteral("snam")).value_or(AppleEventDescriptor()).stringValue();
        const auto handler = handlers_.find(name.value_or(QString()));
        if (!name || handler == handlers_.end())
            return {{}, ScriptErrorInfo{-1708, QStringLiteral("\u00abscript\u00bb doesn\u2019t understand the \u201c%1\u201d message.")
                                                   .arg(name.value_or(QString()))}};
        const auto direct = event.parameter(AppleEvent::keyDirectObject);
        const std::vector<AppleEventDescriptor> args = direct ? direct->items() : std::vector<AppleEventDescriptor>{};
        if (int(args.size()) != handler->second)
            return {{}, ScriptErrorInfo{-1721, QStringLiteral("%1 got %2 parameters but expects %3.")
                                                   .arg(*name).arg(args.size()).arg(handler->second)}};
        auto override = engine_.takeOverride(*name);
        if (override.gate) override.gate->pass();
        if (override.error) return {{}, override.error};
        if (override.reply) return {*override.reply, std::nullopt};
        return {engine_.dispatch(*name, args), std::nullopt};
    }

private:
    SimulatedScriptEngine &engine_;
    QString source_;
    bool compiled_ = false;
    std::map<QString, int> handlers_;
};

std::unique_ptr<Script> SimulatedScriptEngine::makeScript(const QString &source) {
    {
        const std::lock_guard lock(mutex_);
        if (creationFails_) return nullptr;
    }
    return std::make_unique<SimulatedScript>(*this, source);
}

void SimulatedScriptEngine::setScriptCreationFails(bool fails) {
    const std::lock_guard lock(mutex_);
    creationFails_ = fails;
}

void SimulatedScriptEngine::setCompileError(std::optional<ScriptErrorInfo> error) {
    const std::lock_guard lock(mutex_);
    compileError_ = std::move(error);
}

std::optional<ScriptErrorInfo> SimulatedScriptEngine::compileFailure() {
    const std::lock_guard lock(mutex_);
    ++compiles_;
    return compileError_;
}

void SimulatedScriptEngine::failNext(const QString &handler, ScriptErrorInfo error) {
    const std::lock_guard lock(mutex_);
    overrides_.emplace(handler.toLower(), Override{std::move(error), std::nullopt, nullptr});
}

void SimulatedScriptEngine::replyNext(const QString &handler, AppleEventDescriptor reply) {
    const std::lock_guard lock(mutex_);
    overrides_.emplace(handler.toLower(), Override{std::nullopt, std::move(reply), nullptr});
}

std::shared_ptr<SimulatedScriptEngine::Gate> SimulatedScriptEngine::holdNext(const QString &handler) {
    auto gate = std::make_shared<Gate>();
    const std::lock_guard lock(mutex_);
    overrides_.emplace(handler.toLower(), Override{std::nullopt, std::nullopt, gate});
    return gate;
}

SimulatedScriptEngine::Override SimulatedScriptEngine::takeOverride(const QString &handler) {
    const std::lock_guard lock(mutex_);
    const auto it = overrides_.find(handler);
    if (it == overrides_.end()) return {};
    auto found = std::move(it->second);
    overrides_.erase(it);
    return found;
}

void SimulatedScriptEngine::record(const AppleEvent &event) {
    const std::lock_guard lock(mutex_);
    events_.push_back(event);
}

std::vector<AppleEvent> SimulatedScriptEngine::receivedEvents() const {
    const std::lock_guard lock(mutex_);
    return events_;
}

int SimulatedScriptEngine::compileCount() const {
    const std::lock_guard lock(mutex_);
    return compiles_;
}

AppleEventDescriptor SimulatedScriptEngine::dispatch(const QString &handler, const std::vector<AppleEventDescriptor> &a) {
    const auto text = [&](std::size_t i) { return a[i].stringValue().value_or(QString()); };
    const auto integer = [&](std::size_t i) { return std::int64_t(a[i].int32Value()); };
    const auto real = [&](std::size_t i) { return a[i].doubleValue(); };
    auto &s = safari_;
    if (handler == QLatin1String("getsnapshot")) return s.getSnapshot();
    if (handler == QLatin1String("activatetab"))
        return word(s.activateTab(integer(0), integer(1), text(2), a[3].booleanValue()));
    if (handler == QLatin1String("closetab")) return word(s.closeTab(integer(0), integer(1), text(2)));
    if (handler == QLatin1String("closetabs")) return word(s.closeTabs(integer(0), integers(a[1]), texts(a[2])));
    if (handler == QLatin1String("movetabs"))
        return word(s.moveTabs(integer(0), integer(1), integer(2), integer(3), text(4), integer(5)));
    if (handler == QLatin1String("reservespace")) return s.reserveSpace(real(0), real(1));
    if (handler == QLatin1String("setleftedge")) return s.setLeftEdge(real(0));
    if (handler == QLatin1String("restorewindowbounds"))
        return word(s.restoreWindowBounds(integer(0), {real(1), real(2), real(3), real(4)},
                                          {real(5), real(6), real(7), real(8)}));
    if (handler == QLatin1String("iswindowzoomed")) return AppleEventDescriptor::fromInt32(s.isWindowZoomed(integer(0)));
    if (handler == QLatin1String("opentab")) return word(s.openTab(integer(0), text(1)));
    if (handler == QLatin1String("addreadinglistitem")) return word(s.addReadingListItem(text(0), text(1)));
    if (handler == QLatin1String("resolvetabindex")) {
        // Inside the script it takes a window reference; called from outside it takes a window id.
        const auto w = s.window(integer(0));
        return AppleEventDescriptor::fromInt32(w ? std::int32_t(SimulatedSafari::resolveTabIndex(*w, integer(1), text(2))) : 0);
    }
    return {};
}

}  // namespace ondrake
