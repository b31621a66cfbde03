#pragma once

#include "Accessibility.h"

#include <QRectF>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace ondrake {

// Interface elements built freely: any attributes, values of any type, failing reads, slow
// answers, references that form cycles. The tree owns its elements; a reference to an element
// that was removed, or whose tree is gone, reads as invalid. Main thread.
class SimulatedAccessibilityTree {
    struct Node;
    struct State;

public:
    // A handle for building and inspecting one element; cheap to copy.
    class Element {
    public:
        AXUIElement ref() const;

        Element &set(const QString &attribute, AXValue value);
        Element &unset(const QString &attribute);
        // Reads of `attribute` answer `error` until it is set again.
        Element &fail(const QString &attribute, AXError error);
        Element &failAttributeNames(AXError error);
        Element &role(const QString &role) { return set(QStringLiteral("AXRole"), role); }
        Element &subrole(const QString &subrole) { return set(QStringLiteral("AXSubrole"), subrole); }
        Element &identifier(const QString &identifier) { return set(QStringLiteral("AXIdentifier"), identifier); }
        Element &description(const QString &description) { return set(QStringLiteral("AXDescription"), description); }
        // AXPosition and AXSize, top-left origin as the interface reports them.
        Element &frame(const QRectF &frame);
        Element &children(const std::vector<Element> &children);
        // Every message to this element takes `seconds`; past its messaging timeout it fails.
        Element &respondAfter(double seconds);
        // Runs before every read, so the element can bring itself up to date.
        Element &beforeRead(std::function<void()> refresh);

        int reads(const QString &attribute) const;
        int timedOutReads() const;
        std::optional<double> messagingTimeout() const;
        bool isRemoved() const;

    private:
        friend class SimulatedAccessibilityTree;
        explicit Element(std::shared_ptr<Node> node) : node_(std::move(node)) {}
        std::shared_ptr<Node> node_;
    };

    SimulatedAccessibilityTree();
    ~SimulatedAccessibilityTree();
    SimulatedAccessibilityTree(const SimulatedAccessibilityTree &) = delete;
    SimulatedAccessibilityTree &operator=(const SimulatedAccessibilityTree &) = delete;

    // A new element, with the role when one is given.
    Element add(const QString &role = {});
    void remove(const Element &element);
    // Reads answer apiDisabled while this answers false.
    void setTrusted(std::function<bool()> trusted);
    std::size_t size() const;

private:
    class Reference;
    std::shared_ptr<State> state_;
};

}  // namespace ondrake
