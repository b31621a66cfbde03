#pragma once

#include <QAbstractButton>
#include <QPointer>

#include <optional>

namespace ondrake {

class SidebarEnvironment;

// The footer's "New Tab" row: a plus and the caption, with the target window's name when the
// browser has more than one; a plus tile in the compact rail. Highlights under the pointer.
class NewTabRow : public QAbstractButton {
    Q_OBJECT
public:
    explicit NewTabRow(SidebarEnvironment *environment, QWidget *parent = nullptr);

    // The help text doubles as the accessible name.
    void setTarget(const QString &help, const std::optional<QString> &windowLabel);
    const std::optional<QString> &windowLabel() const { return windowLabel_; }
    bool isHovered() const { return hovered_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    bool isCompact() const;

    QPointer<SidebarEnvironment> environment_;
    std::optional<QString> windowLabel_;
    bool hovered_ = false;
};

}  // namespace ondrake
