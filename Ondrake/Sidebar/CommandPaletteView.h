#pragma once

#include "Browser/SafariTab.h"
#include "Platform/SharedTextMap.h"

#include <QAbstractListModel>
#include <QImage>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

class QLabel;
class QLineEdit;
class QListView;
class QStackedWidget;

namespace ondrake {

class TabStore;

// One result of the palette as it reads: a title that is never blank, and the host beneath it.
struct PaletteResult {
    QString tabID;
    QString title;
    std::optional<QString> host;
    std::optional<QString> faviconHost;

    static PaletteResult of(const SafariTab &tab);
    bool operator==(const PaletteResult &) const = default;
};

// The palette's matches, one row each, with the highlighted one marked.
class PaletteResultModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role { HostRole = Qt::UserRole + 1, HighlightedRole, TabIDRole };

    using QAbstractListModel::QAbstractListModel;

    // Resets only when the matches changed; a new highlight repaints two rows.
    void setResults(std::vector<SafariTab> tabs, const SharedTextMap<QImage> &favicons);
    void setHighlighted(int index);
    const std::vector<SafariTab> &tabs() const { return tabs_; }
    std::optional<SafariTab> tabAt(int row) const;
    int highlighted() const { return highlighted_; }

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;

private:
    std::vector<SafariTab> tabs_;
    std::vector<PaletteResult> results_;
    SharedTextMap<QImage> favicons_;
    int highlighted_ = 0;
};

// The command palette: type to find an open tab, arrows to move the highlight, Return or a click
// to bring it to the front, Escape to close. It edits the store's search state, the same the
// sidebar's field edits, and empties the query when it goes.
class CommandPaletteView : public QWidget {
    Q_OBJECT
public:
    static constexpr QSize kSize{520, 360};

    CommandPaletteView(TabStore &store, std::function<void()> onDismiss, QWidget *parent = nullptr);

    QLineEdit *field() const { return field_; }
    QListView *resultList() const { return list_; }
    PaletteResultModel &results() { return model_; }
    // The text shown in place of the list; empty while the list shows.
    QString placeholderText() const;
    bool showsResults() const;

    // The two empty texts.
    static QString emptyQueryText();
    static QString noMatchText(const QString &query);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void refresh();
    void highlightChanged();
    void activate(std::optional<SafariTab> tab);

    TabStore &store_;
    std::function<void()> onDismiss_;
    PaletteResultModel model_;
    QLineEdit *field_;
    QStackedWidget *area_;
    QLabel *placeholder_;
    QListView *list_;
};

}  // namespace ondrake
