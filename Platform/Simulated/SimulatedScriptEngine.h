#pragma once

#include "ScriptEngine.h"
#include "SimulatedSafari.h"

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>

namespace ondrake {

// The scripting runtime of the simulated world. A script compiles only when its text declares
// every handler the simulated browser serves, with the same number of parameters, so the app's
// script text and this stand-in cannot drift apart. Executing an event calls the named handler
// on the SimulatedSafari. Tests can make compiling or a handler fail, substitute a reply, or
// hold a handler until they release it. Thread-safe.
class SimulatedScriptEngine final : public ScriptEngine {
public:
    struct Handler {
        QString name;  // as written in the script
        int parameterCount = 0;
    };
    static const std::vector<Handler> &servedHandlers();

    // Lets a test stop the runner's thread inside a handler and let it go again.
    class Gate {
    public:
        void open();
        // Blocks until a handler has reached the gate; false after a generous bound.
        bool waitUntilReached();
        // Whether a handler has reached the gate by now; does not wait.
        bool hasBeenReached();

    private:
        friend class SimulatedScriptEngine;
        void pass();
        std::mutex mutex_;
        std::condition_variable changed_;
        bool reached_ = false;
        bool open_ = false;
    };

    explicit SimulatedScriptEngine(SimulatedSafari &safari) : safari_(safari) {}

    std::unique_ptr<Script> makeScript(const QString &source) override;

    void setScriptCreationFails(bool fails);
    void setCompileError(std::optional<ScriptErrorInfo> error);  // every compile fails while set
    // The next execution of `handler` (any case) fails with the error, or answers the reply.
    void failNext(const QString &handler, ScriptErrorInfo error);
    void replyNext(const QString &handler, AppleEventDescriptor reply);
    std::shared_ptr<Gate> holdNext(const QString &handler);

    std::vector<AppleEvent> receivedEvents() const;
    int compileCount() const;

private:
    class SimulatedScript;
    struct Override {
        std::optional<ScriptErrorInfo> error;
        std::optional<AppleEventDescriptor> reply;
        std::shared_ptr<Gate> gate;
    };
    std::optional<ScriptErrorInfo> compileFailure();  // counts the attempt
    Override takeOverride(const QString &handler);
    void record(const AppleEvent &event);
    AppleEventDescriptor dispatch(const QString &handler, const std::vector<AppleEventDescriptor> &args);

    SimulatedSafari &safari_;
    mutable std::mutex mutex_;
    bool creationFails_ = false;
    std::optional<ScriptErrorInfo> compileError_;
    std::multimap<QString, Override> overrides_;  // lower-cased handler name; FIFO per name
    std::vector<AppleEvent> events_;
    int compiles_ = 0;
};

}  // namespace ondrake
