#include "Models/WorkspaceJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QTimeZone>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace {

// The place inside the document being read or written, for error messages: keys joined by
// dots, list positions in brackets. Kept as plain keys and numbers, and turned into text only on
// failure, because reading a workspace walks thousands of places.
class Cursor {
public:
    bool failed() const { return m_failed; }
    const JsonError& error() const { return m_error; }

    // Records the first failure only: later ones are consequences of it.
    bool fail(const QString& message) {
        if (!m_failed) {
            m_failed = true;
            m_error = {path(), message};
        }
        return false;
    }

    void push(const char* key, qsizetype index) { m_path.push_back({key, index}); }
    void pop() { m_path.pop_back(); }

private:
    struct Segment {
        const char* key; // null for a list position
        qsizetype index;
    };

    QString path() const {
        QString joined;
        for (const Segment& segment : m_path) {
            if (!segment.key) {
                joined += QStringLiteral("[%1]").arg(segment.index);
                continue;
            }
            if (!joined.isEmpty()) {
                joined += QLatin1Char('.');
            }
            joined += QLatin1String(segment.key);
        }
        return joined;
    }

    std::vector<Segment> m_path;
    JsonError m_error;
    bool m_failed = false;
};

class Step {
public:
    Step(Cursor& cursor, const char* key)
        : m_cursor(cursor) {
        m_cursor.push(key, 0);
    }
    Step(Cursor& cursor, qsizetype index)
        : m_cursor(cursor) {
        m_cursor.push(nullptr, index);
    }
    ~Step() { m_cursor.pop(); }
    Step(const Step&) = delete;
    Step& operator=(const Step&) = delete;

private:
    Cursor& m_cursor;
};

QString kindOf(const QJsonValue& value) {
    switch (value.type()) {
    case QJsonValue::Null:
        return QStringLiteral("null");
    case QJsonValue::Bool:
        return QStringLiteral("a boolean");
    case QJsonValue::Double:
        return QStringLiteral("a number");
    case QJsonValue::String:
        return QStringLiteral("a string");
    case QJsonValue::Array:
        return QStringLiteral("an array");
    case QJsonValue::Object:
        return QStringLiteral("an object");
    case QJsonValue::Undefined:
        break;
    }
    return QStringLiteral("nothing");
}

bool mismatch(Cursor& c, const char* expected, const QJsonValue& found) {
    return c.fail(
        QStringLiteral("Expected %1 but found %2 instead.").arg(QLatin1String(expected), kindOf(found)));
}

QString numberText(const QJsonValue& value) {
    const qint64 whole = value.toInteger(0);
    if (whole == value.toInteger(-1)) {
        return QString::number(whole);
    }
    return QString::number(value.toDouble(), 'g', 17);
}

// ---- reading: one overload per field type -------------------------------------------------

bool read(Cursor& c, const QJsonValue& v, QString& out) {
    if (!v.isString()) {
        return mismatch(c, "a string", v);
    }
    out = v.toString();
    return true;
}

bool read(Cursor& c, const QJsonValue& v, bool& out) {
    if (!v.isBool()) {
        return mismatch(c, "a boolean", v);
    }
    out = v.toBool();
    return true;
}

bool read(Cursor& c, const QJsonValue& v, double& out) {
    if (!v.isDouble()) {
        return mismatch(c, "a number", v);
    }
    const double d = v.toDouble();
    if (!std::isfinite(d)) {
        return c.fail(QStringLiteral("The number is not finite."));
    }
    out = d;
    return true;
}

bool read(Cursor& c, const QJsonValue& v, qint64& out) {
    if (!v.isDouble()) {
        return mismatch(c, "a whole number", v);
    }
    // toInteger answers its fallback unless the number is whole and fits 64 bits; two different
    // fallbacks tell the cases apart without going through a lossy double.
    const qint64 whole = v.toInteger(0);
    if (whole != v.toInteger(-1)) {
        return c.fail(QStringLiteral("The number %1 is not a whole number in range.").arg(numberText(v)));
    }
    out = whole;
    return true;
}

bool read(Cursor& c, const QJsonValue& v, quint32& out) {
    qint64 whole = 0;
    if (!read(c, v, whole)) {
        return false;
    }
    if (whole < 0 || whole > qint64(std::numeric_limits<quint32>::max())) {
        return c.fail(QStringLiteral("The number %1 does not fit 0...4294967295.").arg(whole));
    }
    out = quint32(whole);
    return true;
}

// Whether text has exactly the given shape: 'd' stands for a decimal digit, 'h' for a hexadecimal
// digit of either case, any other character for itself.
bool hasShape(const QString& text, const char* shape) {
    const qsizetype length = qsizetype(std::strlen(shape));
    if (text.size() != length) {
        return false;
    }
    for (qsizetype i = 0; i < length; ++i) {
        const char16_t ch = text.at(i).unicode();
        const bool digit = ch >= u'0' && ch <= u'9';
        const bool hex = digit || (ch >= u'a' && ch <= u'f') || (ch >= u'A' && ch <= u'F');
        const bool ok = shape[i] == 'd' ? digit : shape[i] == 'h' ? hex : ch == char16_t(shape[i]);
        if (!ok) {
            return false;
        }
    }
    return true;
}

bool read(Cursor& c, const QJsonValue& v, QUuid& out) {
    QString text;
    if (!read(c, v, text)) {
        return false;
    }
    // QUuid::fromString alone is too lenient: it takes braces and answers nil for garbage.
    if (!hasShape(text, "hhhhhhhh-hhhh-hhhh-hhhh-hhhhhhhhhhhh")) {
        return c.fail(QStringLiteral("Attempted to decode UUID from invalid UUID string."));
    }
    out = QUuid::fromString(text);
    return true;
}

bool read(Cursor& c, const QJsonValue& v, QDateTime& out) {
    QString text;
    if (!read(c, v, text)) {
        return false;
    }
    const QDateTime date =
        hasShape(text, "dddd-dd-ddTdd:dd:ddZ") ? QDateTime::fromString(text, Qt::ISODate) : QDateTime();
    // Written back the same way, or it was no real date (Qt takes "24:00:00" as the next midnight).
    if (!date.isValid() || WorkspaceJson::dateString(date) != text) {
        return c.fail(QStringLiteral("Expected date string to be ISO8601-formatted."));
    }
    out = date.toUTC();
    return true;
}

bool asObject(Cursor& c, const QJsonValue& v, QJsonObject& out) {
    if (!v.isObject()) {
        return mismatch(c, "an object", v);
    }
    out = v.toObject();
    return true;
}

template <typename T> bool read(Cursor& c, const QJsonValue& v, QList<T>& out) {
    if (!v.isArray()) {
        return mismatch(c, "an array", v);
    }
    const QJsonArray array = v.toArray();
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

bool read(Cursor& c, const QJsonValue& v, SnapshotRect& out) {
    QJsonObject o;
    return asObject(c, v, o) && required(c, o, "x", out.x) && required(c, o, "y", out.y) &&
           required(c, o, "width", out.width) && required(c, o, "height", out.height);
}

bool read(Cursor& c, const QJsonValue& v, TabSnapshot& out) {
    QJsonObject o;
    return asObject(c, v, o) && required(c, o, "id", out.id) && required(c, o, "url", out.url) &&
           optional(c, o, "title", out.title) && required(c, o, "isActive", out.isActive);
}

bool read(Cursor& c, const QJsonValue& v, WindowSnapshot& out) {
    QJsonObject o;
    return asObject(c, v, o) && required(c, o, "id", out.id) && required(c, o, "frame", out.frame) &&
           optional(c, o, "displayUUID", out.displayUUID) && optional(c, o, "spaceIndex", out.spaceIndex) &&
           required(c, o, "tabSnapshots", out.tabSnapshots) &&
           optional(c, o, "windowTitle", out.windowTitle) && required(c, o, "windowIndex", out.windowIndex) &&
           optional(c, o, "documentURL", out.documentURL) && required(c, o, "isMinimized", out.isMinimized);
}

bool read(Cursor& c, const QJsonValue& v, AppSnapshot& out) {
    QJsonObject o;
    return asObject(c, v, o) && required(c, o, "id", out.id) &&
           required(c, o, "bundleIdentifier", out.bundleIdentifier) &&
           required(c, o, "appName", out.appName) && required(c, o, "windowSnapshots", out.windowSnapshots) &&
           required(c, o, "isHidden", out.isHidden);
}

bool read(Cursor& c, const QJsonValue& v, DisplaySnapshot& out) {
    QJsonObject o;
    return asObject(c, v, o) && required(c, o, "id", out.id) && required(c, o, "displayID", out.displayID) &&
           optional(c, o, "uuid", out.uuid) && required(c, o, "frame", out.frame) &&
           optional(c, o, "localizedName", out.localizedName);
}

bool read(Cursor& c, const QJsonValue& v, GlobalKeyShortcut& out) {
    QJsonObject o;
    return asObject(c, v, o) && required(c, o, "keyCode", out.keyCode) &&
           required(c, o, "modifierFlags", out.modifierFlags) &&
           required(c, o, "displayString", out.displayString);
}

// The case names of a trigger type, in declaration order (the order of the variant).
constexpr const char* triggerCaseNames[] = {"login", "displayConnected", "displayDisconnected", "timeOfDay"};

bool readTriggerCase(Cursor& c, const QJsonObject& payload, const QString& name,
                     WorkspaceTrigger::TriggerType& out) {
    if (name == QLatin1String("login")) {
        out = WorkspaceTrigger::Login{};
        return true;
    }
    if (name == QLatin1String("timeOfDay")) {
        WorkspaceTrigger::TimeOfDay t;
        const bool ok = required(c, payload, "hour", t.hour) && required(c, payload, "minute", t.minute) &&
                        required(c, payload, "weekdays", t.weekdays);
        out = std::move(t);
        return ok;
    }
    QString uuid;
    QString displayName;
    if (!required(c, payload, "displayUUID", uuid) || !required(c, payload, "displayName", displayName)) {
        return false;
    }
    if (name == QLatin1String("displayConnected")) {
        out = WorkspaceTrigger::DisplayConnected{uuid, displayName};
    } else {
        out = WorkspaceTrigger::DisplayDisconnected{uuid, displayName};
    }
    return true;
}

bool read(Cursor& c, const QJsonValue& v, WorkspaceTrigger::TriggerType& out) {
    QJsonObject o;
    if (!asObject(c, v, o)) {
        return false;
    }
    // Keys that are no case name are ignored; exactly one case name must be there.
    const char* found = nullptr;
    int count = 0;
    for (const char* name : triggerCaseNames) {
        if (o.contains(QLatin1String(name))) {
            found = name;
            ++count;
        }
    }
    if (count != 1) {
        return c.fail(QLatin1String(WorkspaceJson::invalidTriggerKeysMessage));
    }
    Step step(c, found);
    QJsonObject payload;
    return asObject(c, o.value(QLatin1String(found)), payload) &&
           readTriggerCase(c, payload, QLatin1String(found), out);
}

bool read(Cursor& c, const QJsonValue& v, WorkspaceTrigger& out) {
    QJsonObject o;
    return asObject(c, v, o) && required(c, o, "id", out.id) && required(c, o, "type", out.type);
}

bool read(Cursor& c, const QJsonValue& v, Workspace& out) {
    QJsonObject o;
    return asObject(c, v, o) && required(c, o, "id", out.id) && required(c, o, "name", out.name) &&
           required(c, o, "createdAt", out.createdAt) && required(c, o, "updatedAt", out.updatedAt) &&
           required(c, o, "appSnapshots", out.appSnapshots) &&
           required(c, o, "displaySnapshots", out.displaySnapshots) &&
           defaulted(c, o, "schemaVersion", out.schemaVersion) && optional(c, o, "iconName", out.iconName) &&
           optional(c, o, "gradientIndex", out.gradientIndex) &&
           optional(c, o, "globalShortcut", out.globalShortcut) &&
           defaulted(c, o, "closeOtherApps", out.closeOtherApps) && defaulted(c, o, "triggers", out.triggers);
}

template <typename T> JsonResult<T> decodeValue(const QJsonValue& value) {
    Cursor c;
    T out{};
    if (!read(c, value, out)) {
        return JsonResult<T>::failure(c.error());
    }
    return JsonResult<T>::success(std::move(out));
}

// ---- writing: one overload per field type --------------------------------------------------

QJsonValue write(Cursor&, const QString& s) {
    return s;
}
QJsonValue write(Cursor&, bool b) {
    return b;
}
QJsonValue write(Cursor&, qint64 i) {
    return i;
}
QJsonValue write(Cursor&, quint32 u) {
    return qint64(u);
}
QJsonValue write(Cursor&, const QUuid& id) {
    return WorkspaceJson::uuidString(id);
}

QJsonValue write(Cursor& c, double d) {
    // The JSON writer would turn these into null, which no reader accepts as a number.
    if (!std::isfinite(d)) {
        c.fail(QStringLiteral("Unable to encode the non-finite number %1 in JSON.").arg(d));
        return QJsonValue();
    }
    return d;
}

QJsonValue write(Cursor& c, const QDateTime& date) {
    const QString text = WorkspaceJson::dateString(date);
    if (text.isEmpty()) {
        c.fail(QStringLiteral("Unable to encode an invalid or out-of-range date."));
    }
    return text;
}

template <typename T> QJsonValue write(Cursor& c, const QList<T>& items);

class ObjectWriter {
public:
    explicit ObjectWriter(Cursor& c)
        : m_c(c) {}
    template <typename T> ObjectWriter& field(const char* key, const T& value) {
        Step step(m_c, key);
        m_object.insert(QLatin1String(key), write(m_c, value));
        return *this;
    }
    // Absent values leave no key at all.
    template <typename T> ObjectWriter& field(const char* key, const std::optional<T>& value) {
        if (value) {
            field(key, *value);
        }
        return *this;
    }
    QJsonObject object() const { return m_object; }

private:
    Cursor& m_c;
    QJsonObject m_object;
};

QJsonValue write(Cursor& c, const SnapshotRect& r) {
    return ObjectWriter(c)
        .field("x", r.x)
        .field("y", r.y)
        .field("width", r.width)
        .field("height", r.height)
        .object();
}

QJsonValue write(Cursor& c, const TabSnapshot& t) {
    return ObjectWriter(c)
        .field("id", t.id)
        .field("url", t.url)
        .field("title", t.title)
        .field("isActive", t.isActive)
        .object();
}

QJsonValue write(Cursor& c, const WindowSnapshot& w) {
    return ObjectWriter(c)
        .field("id", w.id)
        .field("frame", w.frame)
        .field("displayUUID", w.displayUUID)
        .field("spaceIndex", w.spaceIndex)
        .field("tabSnapshots", w.tabSnapshots)
        .field("windowTitle", w.windowTitle)
        .field("windowIndex", w.windowIndex)
        .field("documentURL", w.documentURL)
        .field("isMinimized", w.isMinimized)
        .object();
}

QJsonValue write(Cursor& c, const AppSnapshot& a) {
    return ObjectWriter(c)
        .field("id", a.id)
        .field("bundleIdentifier", a.bundleIdentifier)
        .field("appName", a.appName)
        .field("windowSnapshots", a.windowSnapshots)
        .field("isHidden", a.isHidden)
        .object();
}

QJsonValue write(Cursor& c, const DisplaySnapshot& d) {
    return ObjectWriter(c)
        .field("id", d.id)
        .field("displayID", d.displayID)
        .field("uuid", d.uuid)
        .field("frame", d.frame)
        .field("localizedName", d.localizedName)
        .object();
}

QJsonValue write(Cursor& c, const GlobalKeyShortcut& s) {
    return ObjectWriter(c)
        .field("keyCode", s.keyCode)
        .field("modifierFlags", s.modifierFlags)
        .field("displayString", s.displayString)
        .object();
}

QJsonValue write(Cursor& c, const WorkspaceTrigger::TriggerType& type) {
    const char* name = triggerCaseNames[type.index()];
    Step step(c, name);
    ObjectWriter payload(c);
    if (const auto* t = std::get_if<WorkspaceTrigger::TimeOfDay>(&type)) {
        payload.field("hour", t->hour).field("minute", t->minute).field("weekdays", t->weekdays);
    } else if (const auto* d = std::get_if<WorkspaceTrigger::DisplayConnected>(&type)) {
        payload.field("displayUUID", d->displayUUID).field("displayName", d->displayName);
    } else if (const auto* d = std::get_if<WorkspaceTrigger::DisplayDisconnected>(&type)) {
        payload.field("displayUUID", d->displayUUID).field("displayName", d->displayName);
    }
    return QJsonObject{{QLatin1String(name), payload.object()}};
}

QJsonValue write(Cursor& c, const WorkspaceTrigger& t) {
    return ObjectWriter(c).field("id", t.id).field("type", t.type).object();
}

QJsonValue write(Cursor& c, const Workspace& w) {
    return ObjectWriter(c)
        .field("id", w.id)
        .field("name", w.name)
        .field("createdAt", w.createdAt)
        .field("updatedAt", w.updatedAt)
        .field("appSnapshots", w.appSnapshots)
        .field("displaySnapshots", w.displaySnapshots)
        .field("schemaVersion", w.schemaVersion)
        .field("iconName", w.iconName)
        .field("gradientIndex", w.gradientIndex)
        .field("globalShortcut", w.globalShortcut)
        .field("closeOtherApps", w.closeOtherApps)
        .field("triggers", w.triggers)
        .object();
}

template <typename T> QJsonValue write(Cursor& c, const QList<T>& items) {
    QJsonArray array;
    for (qsizetype i = 0; i < items.size() && !c.failed(); ++i) {
        Step step(c, i);
        array.append(write(c, items.at(i)));
    }
    return array;
}

template <typename T> JsonResult<QJsonObject> encodeObject(const T& record) {
    Cursor c;
    const QJsonValue value = write(c, record);
    if (c.failed()) {
        return JsonResult<QJsonObject>::failure(c.error());
    }
    return JsonResult<QJsonObject>::success(value.toObject());
}

JsonResult<QJsonDocument> parse(const QByteArray& data) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError) {
        return JsonResult<QJsonDocument>::failure(
            {QString(), QStringLiteral("The data is not valid JSON: %1 (at offset %2).")
                            .arg(error.errorString())
                            .arg(error.offset)});
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

QString WorkspaceJson::dateString(const QDateTime& date) {
    if (!date.isValid()) {
        return {};
    }
    const QDateTime utc = date.toUTC();
    // Only four-digit years can be read back.
    if (utc.date().year() < 0 || utc.date().year() > 9999) {
        return {};
    }
    return utc.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss'Z'"));
}

QString WorkspaceJson::uuidString(const QUuid& id) {
    return id.toString(QUuid::WithoutBraces).toUpper();
}

JsonResult<QJsonObject> WorkspaceJson::encode(const Workspace& workspace) {
    return encodeObject(workspace);
}
JsonResult<QJsonObject> WorkspaceJson::encode(const AppSnapshot& app) {
    return encodeObject(app);
}
JsonResult<QJsonObject> WorkspaceJson::encode(const WindowSnapshot& window) {
    return encodeObject(window);
}
JsonResult<QJsonObject> WorkspaceJson::encode(const TabSnapshot& tab) {
    return encodeObject(tab);
}
JsonResult<QJsonObject> WorkspaceJson::encode(const DisplaySnapshot& display) {
    return encodeObject(display);
}
JsonResult<QJsonObject> WorkspaceJson::encode(const SnapshotRect& rect) {
    return encodeObject(rect);
}
JsonResult<QJsonObject> WorkspaceJson::encode(const WorkspaceTrigger& trigger) {
    return encodeObject(trigger);
}
JsonResult<QJsonObject> WorkspaceJson::encode(const GlobalKeyShortcut& shortcut) {
    return encodeObject(shortcut);
}

template <> JsonResult<Workspace> WorkspaceJson::decode<Workspace>(const QJsonValue& value) {
    return decodeValue<Workspace>(value);
}
template <> JsonResult<AppSnapshot> WorkspaceJson::decode<AppSnapshot>(const QJsonValue& value) {
    return decodeValue<AppSnapshot>(value);
}
template <> JsonResult<WindowSnapshot> WorkspaceJson::decode<WindowSnapshot>(const QJsonValue& value) {
    return decodeValue<WindowSnapshot>(value);
}
template <> JsonResult<TabSnapshot> WorkspaceJson::decode<TabSnapshot>(const QJsonValue& value) {
    return decodeValue<TabSnapshot>(value);
}
template <> JsonResult<DisplaySnapshot> WorkspaceJson::decode<DisplaySnapshot>(const QJsonValue& value) {
    return decodeValue<DisplaySnapshot>(value);
}
template <> JsonResult<SnapshotRect> WorkspaceJson::decode<SnapshotRect>(const QJsonValue& value) {
    return decodeValue<SnapshotRect>(value);
}
template <> JsonResult<WorkspaceTrigger> WorkspaceJson::decode<WorkspaceTrigger>(const QJsonValue& value) {
    return decodeValue<WorkspaceTrigger>(value);
}
template <> JsonResult<GlobalKeyShortcut> WorkspaceJson::decode<GlobalKeyShortcut>(const QJsonValue& value) {
    return decodeValue<GlobalKeyShortcut>(value);
}

JsonResult<QByteArray> WorkspaceJson::encodeFile(const Workspace& workspace) {
    const auto object = encode(workspace);
    if (!object) {
        return JsonResult<QByteArray>::failure(object.error());
    }
    return JsonResult<QByteArray>::success(QJsonDocument(object.value()).toJson(QJsonDocument::Indented));
}

JsonResult<Workspace> WorkspaceJson::decodeFile(const QByteArray& data) {
    const auto document = parse(data);
    if (!document) {
        return JsonResult<Workspace>::failure(document.error());
    }
    return decodeValue<Workspace>(rootOf(document.value()));
}

JsonResult<QByteArray> WorkspaceJson::encodeList(const QList<Workspace>& workspaces) {
    Cursor c;
    const QJsonValue array = write(c, workspaces);
    if (c.failed()) {
        return JsonResult<QByteArray>::failure(c.error());
    }
    // QJsonObject keeps its keys sorted, so every object of the export is written in key order.
    return JsonResult<QByteArray>::success(QJsonDocument(array.toArray()).toJson(QJsonDocument::Indented));
}

JsonResult<QList<Workspace>> WorkspaceJson::decodeList(const QByteArray& data) {
    const auto document = parse(data);
    if (!document) {
        return JsonResult<QList<Workspace>>::failure(document.error());
    }
    return decodeValue<QList<Workspace>>(rootOf(document.value()));
}
