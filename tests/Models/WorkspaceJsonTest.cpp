#include "Models/WorkspaceJson.h"
#include "Support/WorkspaceSamples.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

namespace {

QJsonObject fullObject() {
    return WorkspaceJson::encode(WorkspaceSamples::full()).value();
}

QJsonObject parseObject(const char* text) {
    return QJsonDocument::fromJson(text).object();
}

// Replaces the value at a path of keys and list positions; an undefined value removes the key.
QJsonValue replaced(const QJsonValue& root, QStringList path, const QJsonValue& value) {
    if (path.isEmpty()) {
        return value;
    }
    const QString head = path.takeFirst();
    bool isIndex = false;
    if (const int index = head.toInt(&isIndex); isIndex) {
        QJsonArray array = root.toArray();
        array[index] = replaced(array.at(index), path, value);
        return array;
    }
    QJsonObject object = root.toObject();
    object.insert(head, replaced(object.value(head), path, value)); // undefined removes the key
    return object;
}

QJsonObject withValue(const QString& path, const QJsonValue& value) {
    return replaced(fullObject(), path.split(QLatin1Char('/')), value).toObject();
}

} // namespace

TEST(WorkspaceJson, FullRoundTripKeepsEveryField) {
    Workspace original = WorkspaceSamples::full();
    original.appSnapshots[0].windowSnapshots[0].spaceIndex = std::numeric_limits<qint64>::max();
    original.appSnapshots[0].windowSnapshots[0].windowIndex = std::numeric_limits<qint64>::min();
    original.appSnapshots[0].windowSnapshots[0].windowIdentity = WindowIdentity{0xFFFFFFFF, 1, 1LL << 52};
    original.gradientIndex = -5;
    const auto file = WorkspaceJson::encodeFile(original);
    ASSERT_TRUE(file.ok()) << file.error().description().toStdString();
    const auto decoded = WorkspaceJson::decodeFile(file.value());
    ASSERT_TRUE(decoded.ok()) << decoded.error().description().toStdString();
    EXPECT_EQ(decoded.value(), original);
    // Pretty-printed, upper-case ids, whole-second UTC dates.
    EXPECT_TRUE(file.value().contains("\n    \"appSnapshots\": ["));
    EXPECT_TRUE(file.value().contains(WorkspaceJson::uuidString(original.id).toUtf8()));
    EXPECT_TRUE(file.value().contains("\"createdAt\": \"2024-01-01T00:01:00Z\""));
}

// The stored form, written by hand: every key of every record. A key renamed in the code breaks
// reading it or writing it back.
TEST(WorkspaceJson, TheStoredFormKeepsItsKeyNames) {
    const char* document = R"({
        "id": "00000000-0000-0000-0000-000000000001", "name": "Desk",
        "createdAt": "2024-01-01T00:00:00Z", "updatedAt": "2024-01-01T00:00:10Z",
        "appSnapshots": [{
            "id": "00000000-0000-0000-0000-000000000002", "bundleIdentifier": "org.example.b",
            "appName": "B", "isHidden": true,
            "windowSnapshots": [{
                "id": "00000000-0000-0000-0000-000000000003",
                "frame": {"x": 1.5, "y": 2, "width": 300, "height": 200},
                "displayUUID": "D", "spaceIndex": 4, "windowTitle": "T", "windowIndex": 5,
                "documentURL": "file:///d", "isMinimized": true,
                "browserProfile": {"userDataDir": "/p", "profileDirectory": "Profile 1"},
                "windowIdentity": {"windowNumber": 4194311, "processIdentifier": 812,
                                   "processStartTime": 1733612345678},
                "tabSnapshots": [{"id": "00000000-0000-0000-0000-000000000004", "url": "https://u",
                                  "title": "U", "isActive": true}]}]}],
        "displaySnapshots": [{"id": "00000000-0000-0000-0000-000000000005", "displayID": 6, "uuid": "D",
                              "frame": {"x": 0, "y": 0, "width": 1440, "height": 900},
                              "localizedName": "Main"}],
        "schemaVersion": 1, "iconName": "star.fill", "gradientIndex": 7,
        "globalShortcut": {"keyCode": 18, "modifierFlags": 768, "displayString": "⌘⇧1"},
        "closeOtherApps": true,
        "triggers": [
            {"id": "00000000-0000-0000-0000-000000000006", "type": {"login": {}}},
            {"id": "00000000-0000-0000-0000-000000000007",
             "type": {"displayConnected": {"displayUUID": "D", "displayName": "Main"}}},
            {"id": "00000000-0000-0000-0000-000000000008",
             "type": {"displayDisconnected": {"displayUUID": "E", "displayName": "TV"}}},
            {"id": "00000000-0000-0000-0000-000000000009",
             "type": {"timeOfDay": {"hour": 9, "minute": 30, "weekdays": [1, 7]}}}]})";
    const auto uuid = [](int n) {
        return QUuid(QStringLiteral("00000000-0000-0000-0000-00000000000%1").arg(n));
    };
    const TabSnapshot tab{uuid(4), "https://u", "U", true};
    const WindowSnapshot window{uuid(3),
                                {1.5, 2, 300, 200},
                                "D",
                                4,
                                {tab},
                                "T",
                                5,
                                "file:///d",
                                true,
                                BrowserProfile{"/p", "Profile 1"},
                                WindowIdentity{4194311, 812, 1733612345678}};
    const AppSnapshot app{uuid(2), "org.example.b", "B", {window}, true};
    const DisplaySnapshot display{uuid(5), 6, "D", {0, 0, 1440, 900}, "Main"};
    const QList<WorkspaceTrigger> triggers{
        {uuid(6), WorkspaceTrigger::Login{}},
        {uuid(7), WorkspaceTrigger::DisplayConnected{"D", "Main"}},
        {uuid(8), WorkspaceTrigger::DisplayDisconnected{"E", "TV"}},
        {uuid(9), WorkspaceTrigger::TimeOfDay{9, 30, {1, 7}}},
    };
    const QJsonObject stored = parseObject(document);
    ASSERT_FALSE(stored.isEmpty());
    const auto decoded = WorkspaceJson::decode<Workspace>(stored);
    ASSERT_TRUE(decoded.ok()) << decoded.error().description().toStdString();
    const Workspace& w = decoded.value();
    EXPECT_EQ(w.id, uuid(1));
    EXPECT_EQ(w.name, "Desk");
    EXPECT_EQ(w.createdAt, WorkspaceSamples::date(0));
    EXPECT_EQ(w.updatedAt, WorkspaceSamples::date(10));
    EXPECT_EQ(w.appSnapshots, QList<AppSnapshot>{app});
    EXPECT_EQ(w.displaySnapshots, QList<DisplaySnapshot>{display});
    EXPECT_EQ(w.iconName, std::optional<QString>("star.fill"));
    EXPECT_EQ(w.gradientIndex, std::optional<qint64>(7));
    EXPECT_EQ(w.globalShortcut, (GlobalKeyShortcut{18, 0x300, "⌘⇧1"}));
    EXPECT_TRUE(w.closeOtherApps);
    EXPECT_EQ(w.triggers, triggers);
    EXPECT_EQ(WorkspaceJson::encode(w).value(), stored);
}

TEST(WorkspaceJson, DatesAreWrittenInWholeSecondsAndLowerCaseIdsAreRead) {
    Workspace w = WorkspaceSamples::plain(QStringLiteral("A"), WorkspaceSamples::date(10).addMSecs(900));
    QJsonObject object = WorkspaceJson::encode(w).value();
    EXPECT_EQ(object.value("updatedAt").toString(), QStringLiteral("2024-01-01T00:00:10Z"));
    EXPECT_EQ(object.value("id").toString(), w.id.toString(QUuid::WithoutBraces).toUpper());
    object["id"] = object.value("id").toString().toLower();
    const auto decoded = WorkspaceJson::decode<Workspace>(object);
    ASSERT_TRUE(decoded.ok());
    EXPECT_EQ(decoded.value().id, w.id);
    EXPECT_EQ(decoded.value().updatedAt, WorkspaceSamples::date(10));
    EXPECT_EQ(decoded.value().updatedAt.timeSpec(), Qt::UTC);
    // Dates from elsewhere may carry a numeric offset: read in UTC, written back with "Z".
    for (const char* text : {"2024-01-01T00:00:10+00:00", "2024-01-01T02:30:10+02:30",
                             "2023-12-31T19:00:10-05:00", "2024-01-01T00:00:10-00:00"}) {
        object["updatedAt"] = QString::fromLatin1(text);
        const auto offset = WorkspaceJson::decode<Workspace>(object);
        ASSERT_TRUE(offset.ok()) << text;
        EXPECT_EQ(offset.value().updatedAt, WorkspaceSamples::date(10)) << text;
        EXPECT_EQ(WorkspaceJson::encode(offset.value()).value().value("updatedAt"), "2024-01-01T00:00:10Z");
    }
}

TEST(WorkspaceJson, OlderFilesGetTheDefaultsAndWritingAddsThem) {
    for (const char* text : {
             R"({"id":"6BA7B810-9DAD-11D1-80B4-00C04FD430C8","name":"Old","createdAt":"2023-05-01T10:00:00Z",
                 "updatedAt":"2023-05-01T10:00:00Z","appSnapshots":[],"displaySnapshots":[]})",
             R"({"id":"6BA7B810-9DAD-11D1-80B4-00C04FD430C8","name":"Old","createdAt":"2023-05-01T10:00:00Z",
                 "updatedAt":"2023-05-01T10:00:00Z","appSnapshots":[],"displaySnapshots":[],
                 "schemaVersion":null,"closeOtherApps":null,"triggers":null,"iconName":null,"somethingNew":[1]})",
         }) {
        const auto decoded = WorkspaceJson::decode<Workspace>(parseObject(text));
        ASSERT_TRUE(decoded.ok()) << decoded.error().description().toStdString();
        EXPECT_EQ(decoded.value().schemaVersion, 1);
        EXPECT_FALSE(decoded.value().closeOtherApps);
        EXPECT_TRUE(decoded.value().triggers.isEmpty());
        EXPECT_FALSE(decoded.value().iconName.has_value());
        const QJsonObject written = WorkspaceJson::encode(decoded.value()).value();
        EXPECT_EQ(written.value("schemaVersion"), QJsonValue(1));
        EXPECT_EQ(written.value("closeOtherApps"), QJsonValue(false));
        EXPECT_EQ(written.value("triggers"), QJsonValue(QJsonArray()));
    }
}

TEST(WorkspaceJson, AbsentOptionalsLeaveNoKeys) {
    const Workspace w = WorkspaceSamples::full();
    Workspace bare = w;
    bare.iconName.reset();
    bare.gradientIndex.reset();
    bare.globalShortcut.reset();
    const QJsonObject workspace = WorkspaceJson::encode(bare).value();
    for (const char* key : {"iconName", "gradientIndex", "globalShortcut"}) {
        EXPECT_FALSE(workspace.contains(key)) << key;
    }
    const QJsonObject window = WorkspaceJson::encode(w.appSnapshots[0].windowSnapshots[1]).value();
    EXPECT_EQ(window.keys(), (QStringList{"frame", "id", "isMinimized", "tabSnapshots", "windowIndex"}));
    EXPECT_EQ(WorkspaceJson::encode(w.appSnapshots[0].windowSnapshots[0].tabSnapshots[1]).value().keys(),
              (QStringList{"id", "isActive", "url"}));
    EXPECT_EQ(WorkspaceJson::encode(w.displaySnapshots[1]).value().keys(),
              (QStringList{"displayID", "frame", "id"}));
}

TEST(WorkspaceJson, TriggersHaveExactlyOneCaseKey) {
    const QString id = QStringLiteral(R"("id":"6BA7B810-9DAD-11D1-80B4-00C04FD430C8")");
    struct Case {
        const char* type;
        std::optional<WorkspaceTrigger::TriggerType> expected; // nothing: decoding fails
        const char* error;
    };
    const Case cases[] = {
        {R"({"login":{}})", WorkspaceTrigger::Login{}, ""},
        {R"({"login":{},"someday":{"x":1}})", WorkspaceTrigger::Login{}, ""},
        {R"({"displayConnected":{"displayUUID":"U","displayName":"Desk"}})",
         WorkspaceTrigger::DisplayConnected{"U", "Desk"}, ""},
        {R"({"displayDisconnected":{"displayUUID":"U","displayName":"Desk","extra":0}})",
         WorkspaceTrigger::DisplayDisconnected{"U", "Desk"}, ""},
        {R"({"timeOfDay":{"hour":9,"minute":0,"weekdays":[2,4]}})", WorkspaceTrigger::TimeOfDay{9, 0, {2, 4}},
         ""},
        {R"({})", std::nullopt, "type: Invalid number of keys found, expected one."},
        {R"({"login":{},"timeOfDay":{"hour":1,"minute":2,"weekdays":[]}})", std::nullopt,
         "type: Invalid number of keys found, expected one."},
        {R"({"login":true})", std::nullopt, "type.login: Expected an object but found a boolean instead."},
        {R"({"displayConnected":{"displayUUID":"U"}})", std::nullopt,
         "type.displayConnected.displayName: No value associated with key \"displayName\"."},
        {R"({"timeOfDay":{"hour":9,"minute":0,"weekdays":[1.5]}})", std::nullopt,
         "type.timeOfDay.weekdays[0]: The number 1.5 is not a whole number in range."},
        {R"("login")", std::nullopt, "type: Expected an object but found a string instead."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        const QByteArray text = QStringLiteral("{%1,\"type\":%2}").arg(id, QLatin1String(c.type)).toUtf8();
        const auto decoded = WorkspaceJson::decode<WorkspaceTrigger>(QJsonDocument::fromJson(text).object());
        ASSERT_EQ(decoded.ok(), c.expected.has_value());
        if (c.expected) {
            EXPECT_EQ(decoded.value().type, *c.expected);
            // Writing gives the one-key form back.
            const QJsonObject type = WorkspaceJson::encode(decoded.value()).value().value("type").toObject();
            EXPECT_EQ(type.size(), 1);
        } else {
            EXPECT_EQ(decoded.error().description(), QString::fromUtf8(c.error));
        }
    }
}

TEST(WorkspaceJson, StrictTypesFailTheWholeWorkspace) {
    const QJsonValue missing = QJsonValue(QJsonValue::Undefined);
    struct Case {
        const char* path;
        QJsonValue value;
    };
    const Case cases[] = {
        {"name", 5},
        {"name", QJsonValue::Null},
        {"appSnapshots", missing},
        {"appSnapshots", QJsonObject()},
        {"appSnapshots/0/isHidden", "true"},
        {"appSnapshots/0/windowSnapshots/0/windowIndex", 1.5},
        {"appSnapshots/0/windowSnapshots/0/spaceIndex", 1e30},
        {"appSnapshots/0/windowSnapshots/0/frame/x", "1"},
        {"appSnapshots/0/windowSnapshots/0/frame/height", missing},
        {"appSnapshots/0/windowSnapshots/0/tabSnapshots/0/url", QJsonValue::Null},
        {"appSnapshots/0/windowSnapshots/0/windowTitle", 3},
        {"displaySnapshots/0/displayID", -1},
        {"displaySnapshots/0/displayID", 4294967296.0},
        {"globalShortcut/modifierFlags", -256},
        {"globalShortcut/keyCode", true},
        {"schemaVersion", "1"},
        {"closeOtherApps", 0},
        {"triggers", QJsonObject()},
        {"gradientIndex", 2.5},
        {"id", "{6BA7B810-9DAD-11D1-80B4-00C04FD430C8}"},
        {"id", "6BA7B810-9DAD-11D1-80B4-00C04FD430C"},
        {"id", "../../../etc/passwd"},
        {"id", "6BA7B810-9DAD-11D1-80B4-00C04FD430CG"},
        {"appSnapshots/0/id", ""},
        {"createdAt", "2024-01-01T00:00:00"},
        {"createdAt", "2024-01-01T00:00:00.500Z"},
        {"createdAt", "2024-01-01T00:00:00+24:00"},
        {"createdAt", "2024-01-01T00:00:00+0100"},
        {"createdAt", "9999-12-31T23:00:00-02:00"},
        {"createdAt", "2024-13-01T00:00:00Z"},
        {"createdAt", "2024-02-30T00:00:00Z"},
        {"createdAt", "2024-01-01T24:00:00Z"},
        {"createdAt", "2024-01-01T00:00:60Z"},
        {"updatedAt", 1700000000},
    };
    for (const Case& c : cases) {
        const QString path = QLatin1String(c.path);
        SCOPED_TRACE(c.path);
        const auto decoded = WorkspaceJson::decode<Workspace>(withValue(path, c.value));
        ASSERT_FALSE(decoded.ok());
        // The error names the place, so a user can find it in the file.
        const QString lastKey = path.section(QLatin1Char('/'), -1);
        EXPECT_TRUE(decoded.error().path.endsWith(lastKey)) << decoded.error().description().toStdString();
    }
    // A window's identity only helps to pair windows: one that cannot be read is left out, and the
    // workspace is read.
    const QString identity = QStringLiteral("appSnapshots/0/windowSnapshots/0/windowIdentity");
    for (const QJsonValue& bad :
         {QJsonValue("4194311 812 1733612345678"),
          QJsonValue(QJsonObject{{"windowNumber", -1}, {"processIdentifier", 812}, {"processStartTime", 1}}),
          QJsonValue(QJsonObject{{"windowNumber", 7}})}) {
        const auto decoded = WorkspaceJson::decode<Workspace>(withValue(identity, bad));
        ASSERT_TRUE(decoded.ok()) << decoded.error().description().toStdString();
        EXPECT_EQ(decoded.value().appSnapshots[0].windowSnapshots[0].windowIdentity, std::nullopt);
    }
    // Any whole gradientIndex is accepted; it is mapped into range where it is used.
    EXPECT_TRUE(WorkspaceJson::decode<Workspace>(withValue("gradientIndex", -40)).ok());
    EXPECT_TRUE(
        WorkspaceJson::decode<Workspace>(withValue("displaySnapshots/0/displayID", 4294967295.0)).ok());
    EXPECT_TRUE(
        WorkspaceJson::decode<Workspace>(withValue("appSnapshots/0/windowSnapshots/0/windowIndex", 3.0))
            .ok());
}

TEST(WorkspaceJson, NonFiniteNumbersAreNeitherReadNorWritten) {
    const QByteArray good = WorkspaceJson::encodeFile(WorkspaceSamples::full()).value();
    for (const char* number : {"1e999", "-1e999", "NaN", "Infinity"}) {
        SCOPED_TRACE(number);
        QByteArray bad = good;
        bad.replace("\"width\": 1280", QByteArray("\"width\": ") + number);
        ASSERT_NE(bad, good);
        EXPECT_FALSE(WorkspaceJson::decodeFile(bad).ok());
    }
    for (const double value : {std::nan(""), std::numeric_limits<double>::infinity()}) {
        Workspace w = WorkspaceSamples::full();
        w.appSnapshots[0].windowSnapshots[0].frame.width = value;
        const auto encoded = WorkspaceJson::encodeFile(w);
        ASSERT_FALSE(encoded.ok());
        EXPECT_EQ(encoded.error().path, QStringLiteral("appSnapshots[0].windowSnapshots[0].frame.width"));
    }
    Workspace undated = WorkspaceSamples::full();
    undated.createdAt = QDateTime();
    EXPECT_FALSE(WorkspaceJson::encodeFile(undated).ok());
}
