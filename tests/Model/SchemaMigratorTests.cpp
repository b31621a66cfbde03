#include "ModelTestSupport.h"

#include "Ondrake/Model/SchemaMigrator.h"

using namespace ondrake;
using namespace ondrake::test;

namespace {

SchemaMigrationError errorOf(const SchemaMigrator &migrator, const QJsonObject &document) {
    try {
        migrator.run(document);
    } catch (const SchemaMigrationError &error) {
        return error;
    }
    ADD_FAILURE() << "no error";
    return SchemaMigrationError::malformed();
}

TEST(SchemaMigration, EachStepAddsOnlyWhatIsMissing) {
    struct Case {
        std::shared_ptr<const SchemaMigration> step;
        const char *before;
        const char *after;
    };
    const Case cases[] = {
        {std::make_shared<UnversionedToV1>(), "{}", R"({"records": [], "groups": [], "featureOverrides": {}})"},
        {std::make_shared<UnversionedToV1>(), R"({"records": null, "groups": [1]})",
         R"({"records": null, "groups": [1], "featureOverrides": {}})"},
        {std::make_shared<V1ToV2>(), "{}", R"({"settings": {"parentCloseBehavior": "parentOnly"}, "recentlyClosed": []})"},
        {std::make_shared<V1ToV2>(), R"({"settings": {"x": 1}})", R"({"settings": {"x": 1}, "recentlyClosed": []})"},
        {std::make_shared<V2ToV3>(), R"({"a": 1})", R"({"a": 1})"},
    };
    for (const auto &c : cases) {
        QJsonObject document = jsonObject(c.before);
        c.step->migrate(document);
        EXPECT_EQ(document, jsonObject(c.after)) << c.before;
    }
    EXPECT_EQ(V1ToV2().fromVersion(), 1);
    EXPECT_EQ(V1ToV2().toVersion(), 2);
}

TEST(SchemaMigrator, BringsAnEmptyDocumentThroughEveryStep) {
    const auto result = SchemaMigrator::standard().run(QJsonObject());
    EXPECT_TRUE(result.migrated);
    EXPECT_EQ(result.document, jsonObject(R"({"records": [], "groups": [], "featureOverrides": {},
                                              "settings": {"parentCloseBehavior": "parentOnly"},
                                              "recentlyClosed": [], "schemaVersion": 3})"));
}

TEST(SchemaMigrator, StartsFromTheDeclaredVersion) {
    struct Case {
        const char *document;
        const char *expected;
        bool migrated;
    };
    const Case cases[] = {
        {R"({"schemaVersion": 1, "settings": {"parentCloseBehavior": "parentAndDescendants"}})",
         R"({"schemaVersion": 3, "settings": {"parentCloseBehavior": "parentAndDescendants"}, "recentlyClosed": []})", true},
        {R"({"schemaVersion": 2})", R"({"schemaVersion": 3})", true},
        {R"({"schemaVersion": 3, "records": 5})", R"({"schemaVersion": 3, "records": 5})", false},
        {R"({"schemaVersion": "2"})",
         R"({"records": [], "groups": [], "featureOverrides": {}, "settings": {"parentCloseBehavior": "parentOnly"},
             "recentlyClosed": [], "schemaVersion": 3})", true},
        {R"({"schemaVersion": 1.5, "records": []})",
         R"({"records": [], "groups": [], "featureOverrides": {}, "settings": {"parentCloseBehavior": "parentOnly"},
             "recentlyClosed": [], "schemaVersion": 3})", true},
    };
    for (const auto &c : cases) {
        const auto result = SchemaMigrator::standard().run(jsonObject(c.document));
        EXPECT_EQ(result.document, jsonObject(c.expected)) << c.document;
        EXPECT_EQ(result.migrated, c.migrated) << c.document;
    }
}

TEST(SchemaMigrator, RefusesWhatItCannotReach) {
    const auto standard = SchemaMigrator::standard();
    EXPECT_EQ(errorOf(standard, jsonObject(R"({"schemaVersion": 4})")), SchemaMigrationError::fromTheFuture(4, 3));
    EXPECT_EQ(errorOf(standard, jsonObject(R"({"schemaVersion": -1})")), SchemaMigrationError::noPathForward(-1, 3));

    const SchemaMigrator withoutStepFromOne({std::make_shared<UnversionedToV1>(), std::make_shared<V2ToV3>()}, 3);
    EXPECT_EQ(errorOf(withoutStepFromOne, QJsonObject()), SchemaMigrationError::noPathForward(1, 3));

    const SchemaMigrator none({}, 3);
    EXPECT_EQ(errorOf(none, jsonObject(R"({"schemaVersion": 2})")), SchemaMigrationError::noPathForward(2, 3));
    EXPECT_FALSE(none.run(jsonObject(R"({"schemaVersion": 3})")).migrated);
}

class Backwards final : public SchemaMigration {
public:
    qint64 fromVersion() const override { return 1; }
    qint64 toVersion() const override { return 0; }
    void migrate(QJsonObject &) const override {}
};

class Marking final : public SchemaMigration {
public:
    explicit Marking(QString mark) : mark_(std::move(mark)) {}
    qint64 fromVersion() const override { return 0; }
    qint64 toVersion() const override { return 1; }
    void migrate(QJsonObject &document) const override { document.insert(QStringLiteral("mark"), mark_); }

private:
    QString mark_;
};

TEST(SchemaMigrator, TheFirstStepFromAVersionWinsAndNoStepMayGoBack) {
    const SchemaMigrator twoFromZero(
        {std::make_shared<Marking>(QStringLiteral("first")), std::make_shared<Marking>(QStringLiteral("second"))}, 1);
    EXPECT_EQ(twoFromZero.run(QJsonObject()).document.value(QStringLiteral("mark")), QStringLiteral("first"));

    const SchemaMigrator loop({std::make_shared<UnversionedToV1>(), std::make_shared<Backwards>()}, 3);
    EXPECT_EQ(errorOf(loop, QJsonObject()), SchemaMigrationError::noPathForward(1, 3));
}

TEST(SchemaMigrationError, DescribesItselfByCaseAndPayload) {
    EXPECT_EQ(SchemaMigrationError::fromTheFuture(7, 3).description(),
              QStringLiteral("fromTheFuture(fileVersion: 7, supported: 3)"));
    EXPECT_EQ(SchemaMigrationError::noPathForward(-1, 3).description(), QStringLiteral("noPathForward(from: -1, to: 3)"));
    EXPECT_EQ(SchemaMigrationError::malformed().description(), QStringLiteral("malformed"));
    EXPECT_NE(SchemaMigrationError::fromTheFuture(7, 3), SchemaMigrationError::fromTheFuture(8, 3));
}

}  // namespace
