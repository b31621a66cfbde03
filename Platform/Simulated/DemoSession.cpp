#include "DemoSession.h"

#include <algorithm>

namespace ondrake {

namespace {

using Tab = SimulatedSafari::Tab;

Tab tab(const char *title, const char *url) { return {QString::fromUtf8(title), QString::fromUtf8(url)}; }

}  // namespace

const SimulatedSafari::Tab &DemoSession::linkedTab() {
    static const Tab linked = tab("Rayleigh scattering - Wikipedia", "https://en.wikipedia.org/wiki/Rayleigh_scattering");
    return linked;
}

std::vector<SimulatedSafari::Window> DemoSession::windows() { return windows(kDesignedScreen); }

std::vector<SimulatedSafari::Window> DemoSession::windows(const QRectF &area) {
    SimulatedSafari::Window reading;
    reading.id = kWindowIDs[0];
    reading.tabs = {
        tab("Favorites", "favorites://"),
        tab("Sky - Wikipedia", "https://en.wikipedia.org/wiki/Sky"),
        tab("Diffuse sky radiation - Wikipedia", "https://en.wikipedia.org/wiki/Diffuse_sky_radiation"),
        tab("Why is the sky blue? | Physics Stack Exchange", "https://physics.stackexchange.com/questions/241/why-is-the-sky-blue"),
        tab("Sunset photography tips - Photography Life", "https://photographylife.com/sunset-photography-tips"),
        tab("Weather forecast - Met Office", "https://www.metoffice.gov.uk/weather/forecast"),
        tab("Sky - Wikipedia", "https://en.wikipedia.org/wiki/Sky"),
        tab("Hacker News", "https://news.ycombinator.com/"),
        tab("BBC News - Home", "https://www.bbc.co.uk/news"),
        tab("The Guardian - International", "https://www.theguardian.com/international"),
    };
    reading.currentTab = 2;

    SimulatedSafari::Window work;
    work.id = kWindowIDs[1];
    work.tabs = {
        tab("Pull requests · qt/qtbase", "https://github.com/qt/qtbase/pulls"),
        tab("std::ranges::sort - cppreference.com", "https://en.cppreference.com/w/cpp/algorithm/ranges/sort"),
        tab("QWidget Class | Qt Widgets 6", "https://doc.qt.io/qt-6/qwidget.html"),
        tab("QScreen Class | Qt GUI 6", "https://doc.qt.io/qt-6/qscreen.html"),
        tab("Coroutines (C++20) - cppreference.com", "https://en.cppreference.com/w/cpp/language/coroutines"),
        tab("CMake Reference Documentation", "https://cmake.org/cmake/help/latest/"),
        tab("GoogleTest User's Guide", "https://google.github.io/googletest/"),
        tab("QWidget Class | Qt Widgets 6", "https://doc.qt.io/qt-6/qwidget.html"),
        tab("c++ - How do I erase elements from a vector while iterating? - Stack Overflow",
            "https://stackoverflow.com/questions/3938838/erasing-from-a-stdvector-while-doing-a-for-each"),
        tab("Issues · ninja-build/ninja", "https://github.com/ninja-build/ninja/issues"),
        tab("Debian -- Packages", "https://packages.debian.org/"),
        tab("", "about:blank"),
    };
    work.currentTab = 3;

    SimulatedSafari::Window trip;
    trip.id = kWindowIDs[2];
    trip.tabs = {
        tab("Lisbon travel guide - Wikivoyage", "https://en.wikivoyage.org/wiki/Lisbon"),
        tab("Trains from Lisbon to Porto - CP", "https://www.cp.pt/passageiros/en"),
        tab("Belém Tower - Wikipedia", "https://en.wikipedia.org/wiki/Bel%C3%A9m_Tower"),
        tab("Pastel de nata - Wikipedia", "https://en.wikipedia.org/wiki/Pastel_de_nata"),
        tab("Lisbon weather in May - Weather Spark", "https://weatherspark.com/y/32407/Average-Weather-in-Lisbon-Portugal"),
        tab("OpenStreetMap", "https://www.openstreetmap.org/#map=13/38.7167/-9.1333"),
        tab("Lisbon travel guide - Wikivoyage", "https://en.wikivoyage.org/wiki/Lisbon"),
    };
    trip.currentTab = 1;

    std::vector out{reading, work, trip};
    // The first window stands in front, so it goes lowest and furthest right.
    const auto places = kCascade.windows(area, int(out.size()));
    for (std::size_t i = 0; i < out.size(); ++i) {
        const auto &r = places[places.size() - 1 - i];
        out[i].bounds = {r.left(), r.top(), r.right(), r.bottom()};
    }
    return out;
}

QRectF DemoSession::openingArea(const Screens &screens) {
    const auto screen = screens.mainScreen();
    return screen ? flipped(screen->visibleFrame, screens.firstScreenHeight()) : kDesignedScreen;
}

void DemoSession::seed(SimulatedSafari &safari, const Screens &screens) {
    safari.setWindows(windows(openingArea(screens)));
}

bool DemoSession::openLinkFromPage(SimulatedSafari &safari) {
    bool opened = false;
    safari.update([&](std::vector<SimulatedSafari::Window> &windows) {
        const auto first = std::find_if(windows.begin(), windows.end(),
                                        [](const SimulatedSafari::Window &w) { return w.id == kWindowIDs[0]; });
        if (first == windows.end()) return;
        const auto &linked = linkedTab();
        if (std::find(first->tabs.begin(), first->tabs.end(), linked) != first->tabs.end()) return;
        if (first->currentTab < 1 || first->currentTab > std::int64_t(first->tabs.size())) return;
        first->tabs.insert(first->tabs.begin() + first->currentTab, linked);
        opened = true;
    });
    return opened;
}

}  // namespace ondrake
