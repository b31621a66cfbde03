#pragma once

#include <QString>

namespace ondrake {

// Texts that come from the user or from pages, put where Qt would otherwise read them as markup.

// A menu or button title: Qt takes a single "&" for the mark of a keyboard mnemonic and drops it,
// so "R&D" would read "RD". Doubled, it shows as itself.
QString literalMnemonics(const QString &text);

// A tool tip that shows the text as written. Qt guesses markup in tool tips, so a page titled
// "<b>Sale</b>" would show a bold "Sale"; such a text goes out escaped. Others are left as they
// are, so ordinary tips keep Qt's plain-text look.
QString plainToolTip(const QString &text);

}  // namespace ondrake
