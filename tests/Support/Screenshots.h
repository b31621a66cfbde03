#pragma once

#include <QDir>
#include <QImage>
#include <QWidget>

#include <gtest/gtest.h>

namespace ondrake::test {

// Saves under the build folder's screenshots/ for a person to look at.
inline void saveScreenshot(const QImage &image, const QString &name) {
    const QString dir = QStringLiteral(ONDRAKE_SCREENSHOT_DIR);
    QDir().mkpath(dir);
    EXPECT_TRUE(image.save(dir + QLatin1Char('/') + name + QStringLiteral(".png"))) << name.toStdString();
}
inline void saveScreenshot(QWidget &widget, const QString &name) { saveScreenshot(widget.grab().toImage(), name); }

}  // namespace ondrake::test
