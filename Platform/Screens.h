#pragma once

#include <QObject>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QString>

#include <optional>
#include <vector>

namespace ondrake {

// One display. Frames are in screen coordinates: origin at the bottom left of the first screen,
// y up.
struct ScreenInfo {
    QString name;         // tells screens apart
    QRectF frame;
    QRectF visibleFrame;  // without the menu bar and the dock
    double refreshRate = 60;

    bool operator==(const ScreenInfo &) const = default;
};

// Turns a rectangle between window-list coordinates (origin top left of the first screen, y down)
// and screen coordinates (origin bottom left, y up). Its own inverse.
QRectF flipped(const QRectF &rect, double firstScreenHeight);

// Area of the intersection of two rectangles; 0 when they do not meet.
double intersectionArea(const QRectF &a, const QRectF &b);

// The displays attached. Main thread.
class Screens : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~Screens() override = default;

    // In the system's order; the first one carries the menu bar and defines the coordinates.
    virtual std::vector<ScreenInfo> screens() const = 0;
    // The screen with the key window, else the first; nothing without screens.
    virtual std::optional<ScreenInfo> mainScreen() const = 0;
    // Where the first screen's top left corner lies in the desktop's own window coordinates.
    virtual QPoint nativeOrigin() const { return {}; }
    // Whether a compositor blends translucent windows with what lies behind them. Without one,
    // the transparent pixels of a window show as black. Asked afresh on every call.
    virtual bool isCompositing() const { return true; }

    // Height of the first screen; 0 without screens.
    double firstScreenHeight() const;
    // A rectangle in screen coordinates as the desktop places windows, and back; neither rounds.
    QRectF toNative(const QRectF &screenRect) const;
    QRectF fromNative(const QRectF &nativeRect) const;

Q_SIGNALS:
    // A screen came or went, or a frame changed.
    void parametersChanged();
};

}  // namespace ondrake
