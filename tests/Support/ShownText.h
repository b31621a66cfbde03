#pragma once

#include <QAccessible>
#include <QCoreApplication>
#include <QMenu>
#include <QString>
#include <QStringList>
#include <QTextDocument>
#include <QToolTip>
#include <QTranslator>

namespace ondrake::test {

// A translation into "[…]": every text that goes through translation comes out bracketed, so a
// caption that skips it stands out. Installed for its own lifetime.
class BracketingTranslator final : public QTranslator {
public:
    BracketingTranslator() { QCoreApplication::installTranslator(this); }
    ~BracketingTranslator() override { QCoreApplication::removeTranslator(this); }
    bool isEmpty() const override { return false; }
    QString translate(const char *, const char *sourceText, const char *, int) const override {
        return QLatin1Char('[') + QString::fromUtf8(sourceText) + QLatin1Char(']');
    }
};

// What a person reads in a tool tip's text: markup is read as Qt reads it, spaces kept from
// line breaking count as spaces.
inline QString shownToolTip(const QString &tip) {
    QString shown = tip;
    if (Qt::mightBeRichText(tip)) {
        QTextDocument document;
        document.setHtml(tip);
        shown = document.toPlainText();
    }
    return shown.replace(QChar::Nbsp, QLatin1Char(' '));
}

// The entries of a menu as assistive technology reads them out, which is also how the menu draws
// them: a mnemonic marker is no part of the text.
inline QStringList spokenEntries(QMenu &menu) {
    QStringList entries;
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(&menu);
    if (!iface) return entries;
    for (int i = 0; i < iface->childCount(); ++i)
        if (QAccessibleInterface *child = iface->child(i); child && child->role() != QAccessible::Separator)
            entries << child->text(QAccessible::Name);
    return entries;
}

// The submenu under the entry titled as shown, or null.
inline QMenu *spokenSubmenu(QMenu &menu, const QString &entry) {
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(&menu);
    if (!iface) return nullptr;
    const auto actions = menu.actions();
    for (int i = 0; i < iface->childCount() && i < actions.size(); ++i)
        if (QAccessibleInterface *child = iface->child(i); child && child->text(QAccessible::Name) == entry)
            return actions[i]->menu();
    return nullptr;
}

}  // namespace ondrake::test
