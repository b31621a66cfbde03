#include "PlainText.h"

#include <QTextDocument>

namespace ondrake {

QString literalMnemonics(const QString &text) {
    QString out = text;
    return out.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

QString plainToolTip(const QString &text) {
    if (!Qt::mightBeRichText(text)) return text;
    // Non-breaking spaces keep the one line a plain tip has.
    return Qt::convertFromPlainText(text, Qt::WhiteSpacePre);
}

}  // namespace ondrake
