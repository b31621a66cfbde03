#include "Ondrake/Model/MemberCoding.h"

namespace ondrake::members::detail {

namespace {

template<typename... F>
struct Overloaded : F... {
    using F::operator()...;
};

}  // namespace

void write(JsonOutput &out, const QByteArray &key, const Ref &ref) {
    if (std::holds_alternative<std::monostate>(ref)) return;
    out.key(QLatin1StringView(key));  // member names are ASCII
    std::visit(Overloaded{
                   [](std::monostate) {},
                   [&](const QString *text) { out.string(*text); },
                   [&](const QDateTime *date) { out.string(json::formatDate(*date)); },
                   [&](bool flag) { out.boolean(flag); },
                   [&](qint64 number) { out.integer(number); },
                   [&](const QUuid *uuid) { out.string(json::uuidString(*uuid)); },
                   [&](const TabMetadata *metadata) { writeMetadata(out, *metadata); },
               },
               ref);
}

}  // namespace ondrake::members::detail
