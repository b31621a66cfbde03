#include "ManualScheduler.h"
#include "Overlay/OverlayCalibrationStore.h"
#include "FoundationJson.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

#include <limits>

using namespace ondrake;

namespace {

struct StoreWorld {
    ManualScheduler clock;  // wall clock at 2026-01-01T00:00:00Z
    UserDefaults defaults;
    OverlayCalibrationStore store{defaults, clock};

    QByteArray stored() const { return defaults.dataForKey(OverlayCalibrationStore::defaultsKey).value_or("<none>"); }
    QJsonObject storedObject() const { return QJsonDocument::fromJson(stored()).object(); }
    void storeDocument(const char *json) { defaults.setData(OverlayCalibrationStore::defaultsKey, QByteArray(json)); }
};

const SafariChromeInsets kInsets{.fromTop = 61.5, .fromLeft = 0, .fromRight = 12, .height = 30};

TEST(OverlayCalibrationStore, KeysAVersionByTheTextBeforeItsFirstDot) {
    const std::pair<std::optional<QString>, QString> cases[] = {
        {QStringLiteral("17.4.1"), QStringLiteral("17")}, {QStringLiteral("17.0"), QStringLiteral("17")},
        {QStringLiteral("18"), QStringLiteral("18")},     {QStringLiteral(".5"), QStringLiteral("5")},
        {QStringLiteral("17..2"), QStringLiteral("17")},  {QStringLiteral(""), QStringLiteral("unknown")},
        {QStringLiteral("..."), QStringLiteral("unknown")}, {std::nullopt, QStringLiteral("unknown")},
    };
    for (const auto &[version, key] : cases) EXPECT_EQ(OverlayCalibrationStore::key(version), key) << version.value_or("none").toStdString();
}

TEST(OverlayCalibrationStore, OneCalibrationPerMajorVersion) {
    StoreWorld w;
    EXPECT_EQ(w.store.load(QStringLiteral("17.4.1")), std::nullopt);
    const SafariChromeInsets older{52, 0, 0, 28};
    w.store.save(older, QStringLiteral("16.6"));
    w.store.save(kInsets, QStringLiteral("17.4.1"));
    const auto loaded = w.store.load(QStringLiteral("17.0"));
    ASSERT_TRUE(loaded);
    EXPECT_EQ(*loaded, (OverlayCalibration{QStringLiteral("17.4.1"), kInsets, w.clock.wallNow()}));
    EXPECT_EQ(w.store.load(QStringLiteral("16")).value().insets, older);

    w.clock.advance(Seconds(90));
    w.store.save(older, QStringLiteral("17.5"));  // replaces 17, keeps 16
    EXPECT_EQ(w.store.load(QStringLiteral("17")).value().safariVersion, QStringLiteral("17.5"));
    EXPECT_EQ(w.store.load(QStringLiteral("17")).value().savedAt, w.clock.wallNow());
    EXPECT_EQ(w.store.readAll().size(), 2u);

    w.store.save(kInsets, std::nullopt);
    EXPECT_EQ(w.store.load(std::nullopt).value().safariVersion, QStringLiteral("unknown"));
    EXPECT_TRUE(w.storedObject().contains(QStringLiteral("unknown")));

    w.store.forget(QStringLiteral("17.9"));
    EXPECT_EQ(w.store.load(QStringLiteral("17")), std::nullopt);
    EXPECT_TRUE(w.store.load(QStringLiteral("16")));
}

TEST(OverlayCalibrationStore, WritesItsDocumentExactly) {
    StoreWorld w;
    w.store.save(kInsets, QStringLiteral("17.4.1"));
    // 2026-01-01T00:00:00Z is 788,918,400 seconds after 2001-01-01T00:00:00Z.
    EXPECT_EQ(w.stored(), QByteArray(R"({
  "17" : {
    "insets" : {
      "fromLeft" : 0,
      "fromRight" : 12,
      "fromTop" : 61.5,
      "height" : 30
    },
    "safariVersion" : "17.4.1",
    "savedAt" : 788918400
  }
})"));
    // Dates between whole seconds keep their milliseconds.
    w.clock.advance(Seconds(0.25));
    w.store.save(kInsets, QStringLiteral("18.0"));
    EXPECT_EQ(w.storedObject()[QStringLiteral("18")][QStringLiteral("savedAt")].toDouble(), 788918400.25);
    EXPECT_EQ(w.store.load(QStringLiteral("18")).value().savedAt, w.clock.wallNow());
}

TEST(OverlayCalibrationStore, AMalformedEntryCostsNoOtherAndIsKeptWhenSaving) {
    StoreWorld w;
    w.storeDocument(R"({
      "16": {"safariVersion": "16.6", "insets": {"fromTop": 50, "fromLeft": 0, "fromRight": 0, "height": 28}, "savedAt": 100, "note": 1},
      "15": {"safariVersion": "15.1", "insets": {"fromTop": 50, "fromLeft": 0, "fromRight": 0}, "savedAt": 100},
      "14": {"safariVersion": "14.0", "insets": {"fromTop": "50", "fromLeft": 0, "fromRight": 0, "height": 28}, "savedAt": 100},
      "13": {"safariVersion": "13.0", "insets": {"fromTop": 50, "fromLeft": 0, "fromRight": 0, "height": 28}, "savedAt": null},
      "12": [1, 2, 3]
    })");
    const auto all = w.store.readAll();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all.begin()->first, QStringLiteral("16"));
    EXPECT_EQ(all.begin()->second.savedAt, QDateTime(QDate(2001, 1, 1), QTime(0, 1, 40), Qt::UTC));
    EXPECT_EQ(w.store.load(QStringLiteral("15.1")), std::nullopt);

    const auto before = w.storedObject();
    w.store.save(kInsets, QStringLiteral("17.4"));
    const auto after = w.storedObject();
    for (const auto *key : {"15", "14", "13", "12"}) EXPECT_EQ(after[QLatin1String(key)], before[QLatin1String(key)]) << key;
    EXPECT_TRUE(after.contains(QStringLiteral("16")));
    EXPECT_TRUE(after.contains(QStringLiteral("17")));

    w.store.save(kInsets, QStringLiteral("15.2"));  // a new calibration replaces the unreadable one
    EXPECT_EQ(w.store.load(QStringLiteral("15")).value().insets, kInsets);
    w.store.forget(QStringLiteral("14.1"));  // forgetting a version forgets what could not be read too
    EXPECT_FALSE(w.storedObject().contains(QStringLiteral("14")));
    EXPECT_EQ(w.store.readAll().size(), 3u);
}

TEST(OverlayCalibrationStore, AnUnreadableDocumentReadsEmptyAndTheNextSaveReplacesIt) {
    for (const char *document : {"not json", "[1, 2]", "\"17\"", ""}) {
        StoreWorld w;
        w.storeDocument(document);
        EXPECT_TRUE(w.store.readAll().empty()) << document;
        EXPECT_EQ(w.stored(), QByteArray(document)) << document;  // reading leaves it as it was
        w.store.save(kInsets, QStringLiteral("17"));
        EXPECT_EQ(w.storedObject().keys(), QStringList{QStringLiteral("17")}) << document;
    }
    StoreWorld text;  // stored as text rather than data
    text.defaults.setString(OverlayCalibrationStore::defaultsKey, QStringLiteral("{}"));
    EXPECT_TRUE(text.store.readAll().empty());
}

TEST(OverlayCalibrationStore, InsetsThatAreNoNumbersStoreNothing) {
    StoreWorld w;
    w.store.save(kInsets, QStringLiteral("17"));
    const auto before = w.stored();
    constexpr double inf = std::numeric_limits<double>::infinity();
    for (const double bad : {std::numeric_limits<double>::quiet_NaN(), inf, -inf}) {
        w.store.save({.fromTop = 52, .fromLeft = 0, .fromRight = 0, .height = bad}, QStringLiteral("18"));
        EXPECT_EQ(w.stored(), before);
    }
}

}  // namespace
