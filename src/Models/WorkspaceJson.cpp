#include "Models/WorkspaceJson.h"

#include "Models/JsonCursor.h"
#include "Models/JsonValueCodec.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

#include <concepts>
#include <iterator>
#include <optional>
#include <utility>
#include <variant>

namespace {

// The cursor has its own type in this file so that a call made inside the templates below finds
// every overload of this file, whatever their order: argument-dependent lookup searches the
// namespace where the type of an argument is declared.
class Cursor : public JsonCursor {
public:
    // Asked before each list of windows or tabs is read.
    WorkspaceJson::PartsBudget budget;
};
using Step = JsonCursor::Step;

// ---- single values: the codec's overloads, in this file's overload set ---------------------

template <typename T>
concept SingleValue = requires(JsonCursor& c, const QJsonValue& v, T& out) {
    JsonValueCodec::read(c, v, out);
};

template <SingleValue T> bool read(Cursor& c, const QJsonValue& v, T& out) {
    return JsonValueCodec::read(c, v, out);
}

template <SingleValue T> QJsonValue write(Cursor& c, const T& value) {
    return JsonValueCodec::write(c, value);
}

bool asObject(Cursor& c, const QJsonValue& v, QJsonObject& out) {
    if (!v.isObject()) {
        return c.mismatch("an object", v);
    }
    out = v.toObject();
    return true;
}

// ---- reading lists and keys ----------------------------------------------------------------

template <typename T> bool read(Cursor& c, const QJsonValue& v, QList<T>& out) {
    if (!v.isArray()) {
        return c.mismatch("an array", v);
    }
    const QJsonArray array = v.toArray();
    if constexpr (std::same_as<T, WindowSnapshot> || std::same_as<T, TabSnapshot>) {
        if (c.budget && !c.budget(array.size())) {
            return c.fail(QStringLiteral("More windows and tabs than may be read."));
        }
    }
    QList<T> items;
    items.reserve(array.size());
    for (qsizetype i = 0; i < array.size(); ++i) {
        Step step(c, i);
        T item{};
        if (!read(c, array.at(i), item)) {
            return false;
        }
        items.append(std::move(item));
    }
    out = std::move(items);
    return true;
}

// A key that must be there with a value (null is not a value).
template <typename T> bool required(Cursor& c, const QJsonObject& o, const char* key, T& out) {
    Step step(c, key);
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined()) {
        return c.fail(QStringLiteral("No value associated with key \"%1\".").arg(QLatin1String(key)));
    }
    if (v.isNull()) {
        return c.fail(QStringLiteral("Expected a value but found null instead."));
    }
    return read(c, v, out);
}

// The value under a key that may be missing or null (both mean absent).
std::optional<QJsonValue> present(const QJsonObject& o, const char* key) {
    QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined() || v.isNull()) {
        return std::nullopt;
    }
    return v;
}

// A key that may be absent; out keeps its value (the default) then.
template <typename T> bool defaulted(Cursor& c, const QJsonObject& o, const char* key, T& out) {
    const auto v = present(o, key);
    if (!v) {
        return true;
    }
    Step step(c, key);
    return read(c, *v, out);
}

template <typename T> bool optional(Cursor& c, const QJsonObject& o, const char* key, std::optional<T>& out) {
    out.reset();
    const auto v = present(o, key);
    if (!v) {
        return true;
    }
    Step step(c, key);
    T value{};
    if (!read(c, *v, value)) {
        return false;
    }
    out = std::move(value);
    return true;
}

// ---- writing -----------------------------------------------------------------------------

template <typename T> QJsonValue write(Cursor& c, const QList<T>& items) {
    QJsonArray array;
    for (qsizetype i = 0; i < items.size() && !c.failed(); ++i) {
        Step step(c, i);
        array.append(write(c, items.at(i)));
    }
    return array;
}

// ---- records: each lists its fields once, for reading and for writing ---------------------

// What a missing or null key means for a field that is not optional.
enum class Absent { Fails, KeepsDefault };
// What a present optional key that cannot be read means: the whole record fails, or the field is
// taken as absent.
enum class Malformed { Fails, Ignored };

class FieldReader {
public:
    FieldReader(Cursor& c, const QJsonObject& o)
        : m_c(c)
        , m_o(o) {}
    template <typename T> void operator()(const char* key, T& out, Absent absent = Absent::Fails) {
        if (m_ok) {
            m_ok = absent == Absent::Fails ? required(m_c, m_o, key, out) : defaulted(m_c, m_o, key, out);
        }
    }
    template <typename T>
    void operator()(const char* key, std::optional<T>& out, Malformed malformed = Malformed::Fails) {
        if (!m_ok) {
            return;
        }
        if (malformed == Malformed::Fails) {
            m_ok = optional(m_c, m_o, key, out);
            return;
        }
        Cursor aside;
        if (!optional(aside, m_o, key, out)) {
            out.reset();
        }
    }
    bool ok() const { return m_ok; }

private:
    Cursor& m_c;
    const QJsonObject& m_o;
    bool m_ok = true;
};

class FieldWriter {
public:
    explicit FieldWriter(Cursor& c)
        : m_c(c) {}
    template <typename T> void operator()(const char* key, const T& value, Absent = Absent::Fails) {
        Step step(m_c, key);
        m_object.insert(QLatin1String(key), write(m_c, value));
    }
    // Absent values leave no key at all.
    template <typename T>
    void operator()(const char* key, const std::optional<T>& value, Malformed = Malformed::Fails) {
        if (value) {
            (*this)(key, *value);
        }
    }
    QJsonObject object() const { return m_object; }

private:
    Cursor& m_c;
    QJsonObject m_object;
};

// R is the record type, const when writing.
template <typename R, typename Record>
concept Is = std::same_as<std::remove_const_t<R>, Record>;

template <typename V, Is<SnapshotRect> R> void fields(V& v, R& r) {
    v("x", r.x);
    v("y", r.y);
    v("width", r.width);
    v("height", r.height);
}

template <typename V, Is<TabSnapshot> R> void fields(V& v, R& t) {
    v("id", t.id);
    v("url", t.url);
    v("title", t.title);
    v("isActive", t.isActive);
}

template <typename V, Is<BrowserProfile> R> void fields(V& v, R& p) {
    v("userDataDir", p.userDataDir);
    v("profileDirectory", p.profileDirectory);
}

template <typename V, Is<WindowIdentity> R> void fields(V& v, R& i) {
    v("windowNumber", i.windowNumber);
    v("processIdentifier", i.processIdentifier);
    v("processStartTime", i.processStartTime);
}

template <typename V, Is<WindowSnapshot> R> void fields(V& v, R& w) {
    v("id", w.id);
    v("frame", w.frame);
    v("displayUUID", w.displayUUID);
    v("spaceIndex", w.spaceIndex);
    v("tabSnapshots", w.tabSnapshots);
    v("windowTitle", w.windowTitle);
    v("windowIndex", w.windowIndex);
    v("documentURL", w.documentURL);
    v("isMinimized", w.isMinimized);
    v("browserProfile", w.browserProfile);
    // Only a hint for pairing windows: one that cannot be read is left out, never the workspace.
    v("windowIdentity", w.windowIdentity, Malformed::Ignored);
}

template <typename V, Is<AppSnapshot> R> void fields(V& v, R& a) {
    v("id", a.id);
    v("bundleIdentifier", a.bundleIdentifier);
    v("appName", a.appName);
    v("windowSnapshots", a.windowSnapshots);
    v("isHidden", a.isHidden);
}

template <typename V, Is<DisplaySnapshot> R> void fields(V& v, R& d) {
    v("id", d.id);
    v("displayID", d.displayID);
    v("uuid", d.uuid);
    v("frame", d.frame);
    v("localizedName", d.localizedName);
}

template <typename V, Is<GlobalKeyShortcut> R> void fields(V& v, R& s) {
    v("keyCode", s.keyCode);
    v("modifierFlags", s.modifierFlags);
    v("displayString", s.displayString);
}

// The payloads of the trigger cases.
template <typename V, Is<WorkspaceTrigger::Login> R> void fields(V&, R&) {
}

template <typename V, typename R>
requires Is<R, WorkspaceTrigger::DisplayConnected> || Is<R, WorkspaceTrigger::DisplayDisconnected>
void fields(V& v, R& d) {
    v("displayUUID", d.displayUUID);
    v("displayName", d.displayName);
}

template <typename V, Is<WorkspaceTrigger::TimeOfDay> R> void fields(V& v, R& t) {
    v("hour", t.hour);
    v("minute", t.minute);
    v("weekdays", t.weekdays);
}

template <typename V, Is<WorkspaceTrigger> R> void fields(V& v, R& t) {
    v("id", t.id);
    v("type", t.type);
}

template <typename V, Is<Workspace> R> void fields(V& v, R& w) {
    v("id", w.id);
    v("name", w.name);
    v("createdAt", w.createdAt);
    v("updatedAt", w.updatedAt);
    v("appSnapshots", w.appSnapshots);
    v("displaySnapshots", w.displaySnapshots);
    v("schemaVersion", w.schemaVersion, Absent::KeepsDefault);
    v("iconName", w.iconName);
    v("gradientIndex", w.gradientIndex);
    v("globalShortcut", w.globalShortcut);
    v("closeOtherApps", w.closeOtherApps, Absent::KeepsDefault);
    v("triggers", w.triggers, Absent::KeepsDefault);
}

template <typename R>
concept Described = requires(FieldReader& v, R& r) {
    fields(v, r);
};

template <Described R> bool read(Cursor& c, const QJsonValue& v, R& out) {
    QJsonObject o;
    if (!asObject(c, v, o)) {
        return false;
    }
    FieldReader reader(c, o);
    fields(reader, out);
    return reader.ok();
}

template <Described R> QJsonValue write(Cursor& c, const R& record) {
    FieldWriter writer(c);
    fields(writer, record);
    return writer.object();
}

// The case names of a trigger type, in the order of the variant's alternatives.
constexpr const char* triggerCaseNames[] = {"login", "displayConnected", "displayDisconnected", "timeOfDay"};
static_assert(std::size(triggerCaseNames) == std::variant_size_v<WorkspaceTrigger::TriggerType>);

template <std::size_t... I>
WorkspaceTrigger::TriggerType triggerCase(std::size_t index, std::index_sequence<I...>) {
    WorkspaceTrigger::TriggerType type;
    ((index == I ? void(type.emplace<I>()) : void()), ...);
    return type;
}

// An object with exactly one case name as key (other keys are ignored), whose value holds the
// case's payload: {"login":{}}, {"timeOfDay":{"hour":9,"minute":0,"weekdays":[2]}}.
bool read(Cursor& c, const QJsonValue& v, WorkspaceTrigger::TriggerType& out) {
    QJsonObject o;
    if (!asObject(c, v, o)) {
        return false;
    }
    std::size_t found = 0;
    int count = 0;
    for (std::size_t i = 0; i < std::size(triggerCaseNames); ++i) {
        if (o.contains(QLatin1String(triggerCaseNames[i]))) {
            found = i;
            ++count;
        }
    }
    if (count != 1) {
        return c.fail(QLatin1String(WorkspaceJson::invalidTriggerKeysMessage));
    }
    const char* name = triggerCaseNames[found];
    Step step(c, name);
    out = triggerCase(found, std::make_index_sequence<std::size(triggerCaseNames)>());
    return std::visit([&](auto& payload) { return read(c, o.value(QLatin1String(name)), payload); }, out);
}

QJsonValue write(Cursor& c, const WorkspaceTrigger::TriggerType& type) {
    const char* name = triggerCaseNames[type.index()];
    Step step(c, name);
    const QJsonValue payload = std::visit([&](const auto& p) { return write(c, p); }, type);
    return QJsonObject{{QLatin1String(name), payload}};
}

template <typename T>
JsonResult<T> decodeValue(const QJsonValue& value, const WorkspaceJson::PartsBudget& budget = {}) {
    Cursor c;
    c.budget = budget;
    T out{};
    if (!read(c, value, out)) {
        return JsonResult<T>::failure(c.error());
    }
    return JsonResult<T>::success(std::move(out));
}

template <typename T> JsonResult<QJsonValue> encodeValue(const T& value) {
    Cursor c;
    QJsonValue out = write(c, value);
    if (c.failed()) {
        return JsonResult<QJsonValue>::failure(c.error());
    }
    return JsonResult<QJsonValue>::success(std::move(out));
}

JsonResult<QJsonDocument> parse(const QByteArray& data) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError) {
        return JsonResult<QJsonDocument>::failure(
            {QString(), QStringLiteral("The data is not valid JSON: %1 (at offset %2).")
                            .arg(error.errorString(), QString::number(error.offset))});
    }
    return JsonResult<QJsonDocument>::success(document);
}

QJsonValue rootOf(const QJsonDocument& document) {
    if (document.isArray()) {
        return document.array();
    }
    if (document.isObject()) {
        return document.object();
    }
    return QJsonValue();
}

} // namespace

QString WorkspaceJson::uuidString(const QUuid& id) {
    return JsonValueCodec::uuidString(id);
}

template <typename T> JsonResult<QJsonObject> WorkspaceJson::encode(const T& record) {
    auto value = encodeValue(record);
    if (!value) {
        return JsonResult<QJsonObject>::failure(value.error());
    }
    return JsonResult<QJsonObject>::success(value.value().toObject());
}

template <typename T> JsonResult<T> WorkspaceJson::decode(const QJsonValue& value) {
    return decodeValue<T>(value);
}

// The record types the two templates serve.
template JsonResult<QJsonObject> WorkspaceJson::encode(const Workspace&);
template JsonResult<QJsonObject> WorkspaceJson::encode(const AppSnapshot&);
template JsonResult<QJsonObject> WorkspaceJson::encode(const WindowSnapshot&);
template JsonResult<QJsonObject> WorkspaceJson::encode(const TabSnapshot&);
template JsonResult<QJsonObject> WorkspaceJson::encode(const DisplaySnapshot&);
template JsonResult<QJsonObject> WorkspaceJson::encode(const SnapshotRect&);
template JsonResult<QJsonObject> WorkspaceJson::encode(const WorkspaceTrigger&);
template JsonResult<QJsonObject> WorkspaceJson::encode(const GlobalKeyShortcut&);
template JsonResult<Workspace> WorkspaceJson::decode(const QJsonValue&);
template JsonResult<AppSnapshot> WorkspaceJson::decode(const QJsonValue&);
template JsonResult<WindowSnapshot> WorkspaceJson::decode(const QJsonValue&);
template JsonResult<TabSnapshot> WorkspaceJson::decode(const QJsonValue&);
template JsonResult<DisplaySnapshot> WorkspaceJson::decode(const QJsonValue&);
template JsonResult<SnapshotRect> WorkspaceJson::decode(const QJsonValue&);
template JsonResult<WorkspaceTrigger> WorkspaceJson::decode(const QJsonValue&);
template JsonResult<GlobalKeyShortcut> WorkspaceJson::decode(const QJsonValue&);

JsonResult<QByteArray> WorkspaceJson::encodeFile(const Workspace& workspace) {
    const auto object = encode(workspace);
    if (!object) {
        return JsonResult<QByteArray>::failure(object.error());
    }
    return JsonResult<QByteArray>::success(QJsonDocument(object.value()).toJson(QJsonDocument::Indented));
}

JsonResult<Workspace> WorkspaceJson::decodeFile(const QByteArray& data, const PartsBudget& budget) {
    const auto document = parse(data);
    if (!document) {
        return JsonResult<Workspace>::failure(document.error());
    }
    return decodeValue<Workspace>(rootOf(document.value()), budget);
}

JsonResult<QByteArray> WorkspaceJson::encodeList(const QList<Workspace>& workspaces) {
    const auto array = encodeValue(workspaces);
    if (!array) {
        return JsonResult<QByteArray>::failure(array.error());
    }
    // QJsonObject keeps its keys sorted, so every object of the export is written in key order.
    return JsonResult<QByteArray>::success(
        QJsonDocument(array.value().toArray()).toJson(QJsonDocument::Indented));
}

JsonResult<QList<Workspace>> WorkspaceJson::decodeList(const QByteArray& data) {
    const auto document = parse(data);
    if (!document) {
        return JsonResult<QList<Workspace>>::failure(document.error());
    }
    return decodeValue<QList<Workspace>>(rootOf(document.value()));
}
