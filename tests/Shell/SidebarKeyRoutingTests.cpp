#include "Shell/SidebarKeyEvents.h"

#include "KeyRepeats.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

namespace ondrake {
namespace {

const QString kEscape(QChar(0x1B)), kDelete(QChar(0x7F));
const auto kCommand = SidebarModifiers::command();
const auto kCommandShift = SidebarModifiers::command() | SidebarModifiers::shift();

// The panel has the keyboard, nothing else open, and a tab is selected.
constexpr SidebarKeyboard kPanelKey{.panelIsKey = true, .hasSelection = true};

TEST(SidebarKeyRouting, TheNamedKeysActOnlyWhileThePanelItselfHasTheKeyboard) {
    struct Case {
        const char *name;
        QString characters;
        SidebarModifiers modifiers;
        bool autoRepeat;
        SidebarKeyboard keyboard;
        SidebarKeyRoute expected;
    };
    auto withPopup = kPanelKey;
    withPopup.popupIsOpen = true;
    auto inSearch = kPanelKey;
    inSearch.searchFieldIsFocused = true;
    auto elsewhere = kPanelKey;
    elsewhere.panelIsKey = false;
    auto nothingSelected = kPanelKey;
    nothingSelected.hasSelection = false;
    const auto acts = [](SidebarKeyCommand command) { return SidebarKeyRoute{command, true}; };
    const SidebarKeyRoute passes{};
    const SidebarKeyRoute heldDown{std::nullopt, true};

    const std::vector<Case> cases{
        {"Delete in the panel", kDelete, {}, false, kPanelKey, acts(SidebarKeyCommand::closeSelection)},
        {"Escape in the panel", kEscape, {}, false, kPanelKey, acts(SidebarKeyCommand::clearSelection)},
        {"Ctrl+Shift+T in the panel", "t", kCommandShift, false, kPanelKey, acts(SidebarKeyCommand::reopenLastClosed)},
        {"Ctrl+Shift+C in the panel", "c", kCommandShift, false, kPanelKey, acts(SidebarKeyCommand::toggleCompactMode)},
        // A menu open over the panel: the keys are the menu's.
        {"Delete with a menu open", kDelete, {}, false, withPopup, passes},
        {"Escape with a menu open", kEscape, {}, false, withPopup, passes},
        {"Ctrl+Shift+T with a menu open", "t", kCommandShift, false, withPopup, passes},
        {"Ctrl+Shift+C with a menu open", "c", kCommandShift, false, withPopup, passes},
        {"Ctrl+A with a menu open", "a", kCommand, false, withPopup, passes},
        // Held down: the first press acted, the repeats do nothing, wherever the key is held.
        {"Ctrl+Shift+T held in the panel", "t", kCommandShift, true, kPanelKey, heldDown},
        {"Ctrl+Shift+C held in the panel", "c", kCommandShift, true, kPanelKey, heldDown},
        {"Delete held in the panel", kDelete, {}, true, kPanelKey, heldDown},
        {"Ctrl+Shift+T held with a menu open", "t", kCommandShift, true, withPopup, passes},
        {"Ctrl+Shift+T held in the search field", "t", kCommandShift, true, inSearch, passes},
        {"Delete held once nothing is left selected", kDelete, {}, true, nothingSelected, passes},
        // Not the panel's keyboard, or not a command.
        {"Delete in the search field", kDelete, {}, false, inSearch, passes},
        {"Ctrl+Shift+T in another window", "t", kCommandShift, false, elsewhere, passes},
        {"Escape with nothing selected", kEscape, {}, false, nothingSelected, passes},
        {"a letter", "x", {}, false, kPanelKey, passes},
    };
    for (const auto &c : cases)
        EXPECT_EQ(routeSidebarKey(c.characters, c.modifiers, c.autoRepeat, c.keyboard), c.expected) << c.name;
}

// Every key the sidebar knows and a few it does not, in every state of the keyboard: what acts
// is always the plain command, and only on a first press in the panel with nothing open over it.
TEST(SidebarKeyRouting, NoStateOfTheKeyboardGivesACommandOutsideThePanelOrTwiceForAHeldKey) {
    struct Key {
        QString characters;
        SidebarModifiers modifiers;
    };
    const std::vector<Key> keys{{"a", kCommand},       {"t", kCommandShift}, {"f", kCommand},  {"c", kCommandShift},
                                {kEscape, {}},         {kDelete, {}},        {kDelete, kCommand}, {QString(QChar(0xF728)), {}},
                                {"t", kCommand},       {"x", {}},            {kEscape, kCommand}, {"", {}}};
    int acting = 0;
    for (int bits = 0; bits < 32; ++bits) {
        const SidebarKeyboard keyboard{.panelIsKey = bool(bits & 1),
                                       .popupIsOpen = bool(bits & 2),
                                       .searchFieldIsFocused = bool(bits & 4),
                                       .hasSelection = bool(bits & 8)};
        const bool repeat = bits & 16;
        const bool panelsOwn = keyboard.panelIsKey && !keyboard.popupIsOpen && !keyboard.searchFieldIsFocused;
        for (const auto &key : keys) {
            SCOPED_TRACE(testing::Message() << "state " << bits << " key " << key.characters.toStdString());
            const auto command = sidebarKeyCommand(key.characters, key.modifiers, keyboard.hasSelection);
            const auto route = routeSidebarKey(key.characters, key.modifiers, repeat, keyboard);
            EXPECT_EQ(route.swallowed, panelsOwn && command.has_value());
            EXPECT_EQ(route.command, panelsOwn && !repeat ? command : std::nullopt);
            if (route.command) ++acting;
        }
    }
    EXPECT_GT(acting, 0);
}

std::unique_ptr<QKeyEvent> keyEvent(QEvent::Type type, int key, quint64 time, bool marked = false) {
    auto event = std::make_unique<QKeyEvent>(type, key, Qt::ControlModifier | Qt::ShiftModifier, QString(), marked);
    event->setTimestamp(time);
    return event;
}

TEST(KeyRepeats, AReleaseAndAPressOfTheKeyAtOneInstantAreARepeat) {
    struct Step {
        QEvent::Type type;
        int key;
        quint64 time;
        bool marked;
        bool repeat;  // for a press
    };
    struct Case {
        const char *name;
        std::vector<Step> steps;
    };
    const auto press = QEvent::KeyPress, release = QEvent::KeyRelease;
    const Case cases[] = {
        {"a first press", {{press, Qt::Key_T, 100, false, false}}},
        {"a repeat the desktop marked", {{press, Qt::Key_T, 100, false, false}, {press, Qt::Key_T, 140, true, true}}},
        {"an unmarked pair at one instant",
         {{press, Qt::Key_T, 100, false, false}, {release, Qt::Key_T, 140, false, false}, {press, Qt::Key_T, 140, false, true}}},
        {"a quick second tap", {{press, Qt::Key_T, 100, false, false}, {release, Qt::Key_T, 140, false, false}, {press, Qt::Key_T, 141, false, false}}},
        {"another key at the same instant",
         {{press, Qt::Key_T, 100, false, false}, {release, Qt::Key_T, 140, false, false}, {press, Qt::Key_C, 140, false, false}}},
        {"events made up without a time", {{release, Qt::Key_T, 0, false, false}, {press, Qt::Key_T, 0, false, false}}},
    };
    for (const auto &c : cases) {
        KeyRepeats repeats;
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            const auto &step = c.steps[i];
            const auto event = keyEvent(step.type, step.key, step.time, step.marked);
            if (step.type == release) {
                repeats.noteRelease(*event);
                repeats.noteRelease(*event);  // as every widget it passes up through hands it on
                continue;
            }
            EXPECT_EQ(repeats.isRepeat(*event), step.repeat) << c.name << ", step " << i;
            EXPECT_EQ(repeats.isRepeat(*event), step.repeat) << c.name << ", asked again, step " << i;
        }
    }
}

// Taps and held keys in a random order, the repeats of a held key marked or not as they come: the
// presses found to be repeats are exactly those of keys held down.
TEST(KeyRepeats, OnlyAHeldKeysRepeatsAreRepeats) {
    std::mt19937 random(20260530);
    const int keys[] = {Qt::Key_T, Qt::Key_C, Qt::Key_Delete};
    for (int round = 0; round < 200; ++round) {
        KeyRepeats repeats;
        quint64 now = 1000;
        int presses = 0, found = 0, held = 0;
        for (int gesture = 0; gesture < 20; ++gesture) {
            const int key = keys[random() % 3];
            now += 1 + random() % 300;
            EXPECT_FALSE(repeats.isRepeat(*keyEvent(QEvent::KeyPress, key, now))) << "a new press, round " << round;
            ++presses;
            const int repeatsOfIt = int(random() % 4) == 0 ? 0 : int(random() % 30);
            for (int r = 0; r < repeatsOfIt; ++r) {
                now += 25 + random() % 20;
                const bool marked = random() % 2;
                if (!marked) repeats.noteRelease(*keyEvent(QEvent::KeyRelease, key, now));
                found += repeats.isRepeat(*keyEvent(QEvent::KeyPress, key, now, marked));
                ++held;
            }
            now += 1 + random() % 100;
            repeats.noteRelease(*keyEvent(QEvent::KeyRelease, key, now));
        }
        EXPECT_EQ(found, held) << "round " << round;
        EXPECT_GT(presses, 0);
    }
}

}  // namespace
}  // namespace ondrake
