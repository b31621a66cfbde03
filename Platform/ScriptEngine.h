#pragma once

#include "AppleEventDescriptor.h"

#include <QString>

#include <memory>
#include <optional>

namespace ondrake {

// What the scripting runtime reports when compiling or executing fails: an error number and a
// message, either of which may be missing.
struct ScriptErrorInfo {
    std::optional<std::int64_t> number;
    std::optional<QString> message;
    bool operator==(const ScriptErrorInfo &) const = default;
};

// The outcome of executing one event: a reply, or an error.
struct ScriptExecution {
    AppleEventDescriptor reply;
    std::optional<ScriptErrorInfo> error;
};

// One script object made from a text. Not thread-safe: its owner keeps it on one thread.
class Script {
public:
    virtual ~Script() = default;
    // Nothing on success.
    virtual std::optional<ScriptErrorInfo> compile() = 0;
    // Runs a handler-call event against the compiled script; may block until the target answers.
    virtual ScriptExecution execute(const AppleEvent &event) = 0;
};

// The scripting runtime.
class ScriptEngine {
public:
    virtual ~ScriptEngine() = default;
    // Null when no script object can be made from the text at all.
    virtual std::unique_ptr<Script> makeScript(const QString &source) = 0;
};

}  // namespace ondrake
