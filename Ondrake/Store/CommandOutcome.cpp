#include "CommandOutcome.h"

namespace ondrake {

namespace {
int rank(CommandOutcome::Kind kind) {
    switch (kind) {
    case CommandOutcome::Kind::unavailable: return 0;
    case CommandOutcome::Kind::refused: return 1;
    case CommandOutcome::Kind::appliedLocally: return 2;
    case CommandOutcome::Kind::applied: return 3;
    }
    return 3;
}
}  // namespace

CommandOutcome CommandOutcome::combined(const std::vector<CommandOutcome> &outcomes) {
    if (outcomes.empty()) return refused(Refusal::nothingToDo());
    const CommandOutcome *worst = &outcomes.front();
    for (const auto &outcome : outcomes)
        if (rank(outcome.kind) < rank(worst->kind)) worst = &outcome;
    return *worst;
}

QString CommandOutcome::description() const {
    switch (kind) {
    case Kind::refused:
        switch (refusal.kind) {
        case Refusal::Kind::featureDisabled: return QStringLiteral("refused(featureDisabled(\"%1\"))").arg(refusal.featureKey);
        case Refusal::Kind::tabIsLocked: return QStringLiteral("refused(tabIsLocked)");
        case Refusal::Kind::noSuchRecord: return QStringLiteral("refused(noSuchRecord)");
        case Refusal::Kind::nothingToDo: return QStringLiteral("refused(nothingToDo)");
        case Refusal::Kind::unsafeAddress: return QStringLiteral("refused(unsafeAddress)");
        }
        break;
    case Kind::unavailable: return QStringLiteral("unavailable(%1)").arg(missing.description());
    case Kind::applied: return QStringLiteral("applied");
    case Kind::appliedLocally: return QStringLiteral("appliedLocally");
    }
    return {};
}

}  // namespace ondrake
