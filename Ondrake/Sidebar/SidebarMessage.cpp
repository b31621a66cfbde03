#include "Ondrake/Sidebar/SidebarMessage.h"

#include <QCoreApplication>

namespace ondrake {

namespace {
QString tr(const char *text) { return QCoreApplication::translate("SidebarMessageView", text); }
}  // namespace

SidebarContentKind sidebarContentKind(const SidebarState &state, const QString &searchQuery, bool hasWindows,
                                      SidebarViewMode viewMode) {
    switch (state.kind) {
    case SidebarState::Kind::loading: return SidebarContentKind::loading;
    case SidebarState::Kind::safariNotRunning: return SidebarContentKind::safariNotRunning;
    case SidebarState::Kind::permissionRequired: return SidebarContentKind::permissionRequired;
    case SidebarState::Kind::failed: return SidebarContentKind::failed;
    case SidebarState::Kind::ready: break;
    }
    if (!searchQuery.isEmpty()) return SidebarContentKind::searchList;
    if (!hasWindows) return SidebarContentKind::noTabs;
    return viewMode == SidebarViewMode::tree ? SidebarContentKind::treeList : SidebarContentKind::modeList;
}

SidebarMessage SidebarMessage::safariNotRunning() {
    return {QStringLiteral("safari"), QStringLiteral("Safari isn’t running"),
            QStringLiteral("Open Safari and your tabs will appear here."), Action::none};
}

SidebarMessage SidebarMessage::permissionRequired() {
    return {QStringLiteral("lock.shield"), QStringLiteral("Safari access is required"),
            QStringLiteral("Allow Ondrake to control Safari in System Settings › Privacy & Security › Automation."),
            Action::openSystemSettings};
}

SidebarMessage SidebarMessage::failed(const QString &message) {
    return {QStringLiteral("exclamationmark.triangle"), QStringLiteral("Something went wrong"), message,
            Action::tryAgain};
}

SidebarMessage SidebarMessage::noTabs() {
    return {QStringLiteral("rectangle.on.rectangle"), QStringLiteral("No open tabs"),
            QStringLiteral("Open a window in Safari to get started."), Action::none};
}

std::optional<SidebarMessage> SidebarMessage::forContent(SidebarContentKind kind, const SidebarState &state) {
    switch (kind) {
    case SidebarContentKind::safariNotRunning: return safariNotRunning();
    case SidebarContentKind::permissionRequired: return permissionRequired();
    case SidebarContentKind::failed: return failed(state.message);
    case SidebarContentKind::noTabs: return noTabs();
    case SidebarContentKind::loading:
    case SidebarContentKind::searchList:
    case SidebarContentKind::treeList:
    case SidebarContentKind::modeList: return std::nullopt;
    }
    return std::nullopt;
}

QString SidebarMessage::actionTitle(Action action) {
    switch (action) {
    case Action::none: return {};
    case Action::openSystemSettings: return tr("Open System Settings");
    case Action::tryAgain: return tr("Try Again");
    }
    return {};
}

QString SidebarMessage::permissionNote() {
    return tr("Retries automatically. If tabs still don’t appear, quit and reopen Ondrake.");
}

QString SidebarMessage::loadingText() { return tr("Connecting to Safari…"); }

QString SidebarMessage::automationSettingsAddress() {
    return QStringLiteral("x-apple.systempreferences:com.apple.preference.security?Privacy_Automation");
}

}  // namespace ondrake
