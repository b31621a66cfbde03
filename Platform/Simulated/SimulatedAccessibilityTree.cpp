#include "SimulatedAccessibilityTree.h"

#include <algorithm>
#include <cmath>

namespace ondrake {

struct SimulatedAccessibilityTree::State {
    std::function<bool()> trusted;
    std::map<std::uint64_t, std::shared_ptr<Node>> nodes;
    std::uint64_t nextSerial = 1;
};

struct SimulatedAccessibilityTree::Node {
    std::uint64_t serial = 0;
    std::weak_ptr<State> tree;
    bool removed = false;
    std::vector<std::pair<QString, AXValue>> attributes;  // in the order first set
    std::map<QString, AXError> failures;
    std::optional<AXError> namesFailure;
    double responseDelay = 0;
    std::optional<double> messagingTimeout;
    std::function<void()> beforeRead;
    std::map<QString, int> reads;
    int timedOutReads = 0;
    // The reference handed out for this element; it never owns the node, so cycles of
    // references between elements cost nothing.
    std::shared_ptr<const AccessibilityNode> reference;

    const AXValue *find(const QString &attribute) const {
        for (const auto &[name, value] : attributes)
            if (name == attribute) return &value;
        return nullptr;
    }
};

class SimulatedAccessibilityTree::Reference final : public AccessibilityNode {
public:
    Reference(const std::shared_ptr<Node> &node) : node_(node), serial_(node->serial) {}

    AXResult<AXValue> attributeValue(const QString &attribute) const override {
        const auto node = node_.lock();
        if (const auto error = admit(node, &attribute); error != AXError::success) return error;
        if (const auto it = node->failures.find(attribute); it != node->failures.end()) return it->second;
        if (const auto *value = node->find(attribute)) return *value;
        return AXError::attributeUnsupported;
    }

    AXResult<QStringList> attributeNames() const override {
        const auto node = node_.lock();
        if (const auto error = admit(node, nullptr); error != AXError::success) return error;
        if (node->namesFailure) return *node->namesFailure;
        QStringList names;
        names.reserve(qsizetype(node->attributes.size()));
        for (const auto &entry : node->attributes) names << entry.first;
        return names;
    }

    AXError setMessagingTimeout(double seconds) const override {
        const auto node = node_.lock();
        if (!node || node->removed) return AXError::invalidUIElement;
        node->messagingTimeout = seconds;
        return AXError::success;
    }

    bool isSameElement(const AccessibilityNode &other) const override {
        const auto *reference = dynamic_cast<const Reference *>(&other);
        return reference && reference->serial_ == serial_;
    }

private:
    static AXError admit(const std::shared_ptr<Node> &node, const QString *attribute) {
        if (!node || node->removed) return AXError::invalidUIElement;
        const auto tree = node->tree.lock();
        if (!tree) return AXError::invalidUIElement;
        if (tree->trusted && !tree->trusted()) return AXError::apiDisabled;
        if (attribute) ++node->reads[*attribute];
        const double timeout = node->messagingTimeout.value_or(Accessibility::defaultMessagingTimeout);
        if (node->responseDelay > timeout) {
            ++node->timedOutReads;
            return AXError::cannotComplete;
        }
        if (node->beforeRead) {
            const auto refresh = node->beforeRead;  // the refresh may replace it
            refresh();
            if (node->removed) return AXError::invalidUIElement;
        }
        return AXError::success;
    }

    std::weak_ptr<Node> node_;
    std::uint64_t serial_;
};

// MARK: Element

AXUIElement SimulatedAccessibilityTree::Element::ref() const { return AXUIElement(node_->reference); }

SimulatedAccessibilityTree::Element &SimulatedAccessibilityTree::Element::set(const QString &attribute, AXValue value) {
    node_->failures.erase(attribute);
    for (auto &entry : node_->attributes) {
        if (entry.first == attribute) {
            entry.second = std::move(value);
            return *this;
        }
    }
    node_->attributes.emplace_back(attribute, std::move(value));
    return *this;
}

SimulatedAccessibilityTree::Element &SimulatedAccessibilityTree::Element::unset(const QString &attribute) {
    std::erase_if(node_->attributes, [&](const auto &entry) { return entry.first == attribute; });
    return *this;
}

SimulatedAccessibilityTree::Element &SimulatedAccessibilityTree::Element::fail(const QString &attribute, AXError error) {
    node_->failures[attribute] = error;
    return *this;
}

SimulatedAccessibilityTree::Element &SimulatedAccessibilityTree::Element::failAttributeNames(AXError error) {
    node_->namesFailure = error;
    return *this;
}

SimulatedAccessibilityTree::Element &SimulatedAccessibilityTree::Element::frame(const QRectF &frame) {
    set(QStringLiteral("AXPosition"), frame.topLeft());
    return set(QStringLiteral("AXSize"), frame.size());
}

SimulatedAccessibilityTree::Element &
SimulatedAccessibilityTree::Element::children(const std::vector<Element> &children) {
    AXValue::Array refs;
    refs.reserve(children.size());
    for (const auto &child : children) refs.emplace_back(child.ref());
    return set(QStringLiteral("AXChildren"), std::move(refs));
}

SimulatedAccessibilityTree::Element &SimulatedAccessibilityTree::Element::respondAfter(double seconds) {
    node_->responseDelay = seconds;
    return *this;
}

SimulatedAccessibilityTree::Element &SimulatedAccessibilityTree::Element::beforeRead(std::function<void()> refresh) {
    node_->beforeRead = std::move(refresh);
    return *this;
}

int SimulatedAccessibilityTree::Element::reads(const QString &attribute) const {
    const auto it = node_->reads.find(attribute);
    return it == node_->reads.end() ? 0 : it->second;
}

int SimulatedAccessibilityTree::Element::timedOutReads() const { return node_->timedOutReads; }

std::optional<double> SimulatedAccessibilityTree::Element::messagingTimeout() const { return node_->messagingTimeout; }

bool SimulatedAccessibilityTree::Element::isRemoved() const { return node_->removed || node_->tree.expired(); }

// MARK: Tree

SimulatedAccessibilityTree::SimulatedAccessibilityTree() : state_(std::make_shared<State>()) {}

SimulatedAccessibilityTree::~SimulatedAccessibilityTree() {
    for (auto &[serial, node] : state_->nodes) {
        node->removed = true;
        node->beforeRead = nullptr;
    }
}

SimulatedAccessibilityTree::Element SimulatedAccessibilityTree::add(const QString &role) {
    auto node = std::make_shared<Node>();
    node->serial = state_->nextSerial++;
    node->tree = state_;
    node->reference = std::make_shared<Reference>(node);
    state_->nodes.emplace(node->serial, node);
    Element element(std::move(node));
    if (!role.isEmpty()) element.role(role);
    return element;
}

void SimulatedAccessibilityTree::remove(const Element &element) {
    element.node_->removed = true;
    element.node_->beforeRead = nullptr;
    element.node_->attributes.clear();  // drops the references it held
    state_->nodes.erase(element.node_->serial);
}

void SimulatedAccessibilityTree::setTrusted(std::function<bool()> trusted) { state_->trusted = std::move(trusted); }

std::size_t SimulatedAccessibilityTree::size() const { return state_->nodes.size(); }

}  // namespace ondrake
