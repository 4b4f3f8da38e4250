#pragma once

#include <QList>
#include <QPointF>
#include <QSizeF>
#include <QString>
#include <QUrl>

#include <optional>
#include <variant>

// A reference to one accessibility element: an application or one of its windows. It is a plain
// handle; an element whose window has gone answers InvalidUIElement to every request.
struct AXElement {
    quint64 id = 0;

    bool isNull() const { return id == 0; }
    bool operator==(const AXElement&) const = default;
};

inline size_t qHash(const AXElement& element, size_t seed = 0) {
    return qHash(element.id, seed);
}

// Error numbers the accessibility interface answers with (0 is success).
namespace AXError {
inline constexpr int Success = 0;
inline constexpr int Failure = -25200;
inline constexpr int IllegalArgument = -25201;
inline constexpr int InvalidUIElement = -25202;
inline constexpr int CannotComplete = -25204;
inline constexpr int AttributeUnsupported = -25205;
inline constexpr int ActionUnsupported = -25206;
inline constexpr int NotImplemented = -25208;
inline constexpr int APIDisabled = -25211;
inline constexpr int NoValue = -25212;
} // namespace AXError

// Attribute and action names as the interface spells them.
namespace AXName {
inline const QString Windows = QStringLiteral("AXWindows");
inline const QString Position = QStringLiteral("AXPosition");
inline const QString Size = QStringLiteral("AXSize");
inline const QString Title = QStringLiteral("AXTitle");
inline const QString Document = QStringLiteral("AXDocument");
inline const QString Role = QStringLiteral("AXRole");
inline const QString Subrole = QStringLiteral("AXSubrole");
inline const QString Minimized = QStringLiteral("AXMinimized");
inline const QString FullScreen = QStringLiteral("AXFullScreen");
inline const QString Main = QStringLiteral("AXMain");
inline const QString Focused = QStringLiteral("AXFocused");
inline const QString Raise = QStringLiteral("AXRaise");
// A browser window's profile, where the browser's command line names one (strings): its data
// folder and the profile's folder in it.
inline const QString BrowserUserDataDir = QStringLiteral("AXBrowserUserDataDir");
inline const QString BrowserProfileDirectory = QStringLiteral("AXBrowserProfileDirectory");
// What tells a window from every other, then and later (a string: see WindowIdentity); no value
// where the desktop cannot tell, or the window's process is gone.
inline const QString WindowIdentity = QStringLiteral("AXWindowIdentity");
// The virtual desktop a window is on, counted from 0 (a number), where there is more than one: no
// value for a window on all desktops, or on a desktop without others. Writing a number puts the
// window there.
inline const QString SpaceIndex = QStringLiteral("AXSpaceIndex");
// Whether a window is on the desktop shown, or on all (a boolean); writing true brings it to the
// desktop shown.
inline const QString OnShownSpace = QStringLiteral("AXOnShownSpace");
} // namespace AXName

// A value read from or written to an attribute. Exactly one kind is held, so a reader can tell a
// missing value from a value of the wrong type.
class AXValue {
public:
    enum class Kind { None, Boolean, Number, String, Point, Size, Url, ElementList };

    // Type identifiers as the interface reports them; points and sizes are both wrapped geometry
    // values and share one identifier.
    static constexpr quint32 NoneTypeID = 0;
    static constexpr quint32 BooleanTypeID = 21;
    static constexpr quint32 NumberTypeID = 22;
    static constexpr quint32 StringTypeID = 7;
    static constexpr quint32 GeometryTypeID = 67;
    static constexpr quint32 UrlTypeID = 29;
    static constexpr quint32 ArrayTypeID = 19;

    AXValue() = default;
    static AXValue boolean(bool value) { return AXValue(Storage(std::in_place_index<1>, value)); }
    static AXValue number(double value) { return AXValue(Storage(std::in_place_index<2>, value)); }
    static AXValue string(const QString& value) { return AXValue(Storage(std::in_place_index<3>, value)); }
    static AXValue point(const QPointF& value) { return AXValue(Storage(std::in_place_index<4>, value)); }
    static AXValue size(const QSizeF& value) { return AXValue(Storage(std::in_place_index<5>, value)); }
    static AXValue url(const QUrl& value) { return AXValue(Storage(std::in_place_index<6>, value)); }
    static AXValue elements(const QList<AXElement>& value) {
        return AXValue(Storage(std::in_place_index<7>, value));
    }

    Kind kind() const { return static_cast<Kind>(m_value.index()); }
    bool isNone() const { return kind() == Kind::None; }
    // Whether the value is a wrapped geometry value (a point or a size).
    bool isGeometry() const { return kind() == Kind::Point || kind() == Kind::Size; }
    quint32 typeID() const;

    // Each accessor answers only for its own kind.
    std::optional<bool> toBool() const { return get<1>(); }
    std::optional<double> toNumber() const { return get<2>(); }
    std::optional<QString> toString() const { return get<3>(); }
    std::optional<QPointF> toPoint() const { return get<4>(); }
    std::optional<QSizeF> toSize() const { return get<5>(); }
    std::optional<QUrl> toUrl() const { return get<6>(); }
    std::optional<QList<AXElement>> toElements() const { return get<7>(); }

    bool operator==(const AXValue&) const = default;

private:
    using Storage =
        std::variant<std::monostate, bool, double, QString, QPointF, QSizeF, QUrl, QList<AXElement>>;
    explicit AXValue(Storage value)
        : m_value(std::move(value)) {}

    template <std::size_t I> std::optional<std::variant_alternative_t<I, Storage>> get() const {
        if (m_value.index() != I) {
            return std::nullopt;
        }
        return std::get<I>(m_value);
    }

    Storage m_value;
};

inline quint32 AXValue::typeID() const {
    switch (kind()) {
    case Kind::None:
        return NoneTypeID;
    case Kind::Boolean:
        return BooleanTypeID;
    case Kind::Number:
        return NumberTypeID;
    case Kind::String:
        return StringTypeID;
    case Kind::Point:
    case Kind::Size:
        return GeometryTypeID;
    case Kind::Url:
        return UrlTypeID;
    case Kind::ElementList:
        return ArrayTypeID;
    }
    return NoneTypeID;
}

// The answer to an attribute read: an error number and, on success, the value.
struct AXResult {
    int error = AXError::Success;
    AXValue value;

    bool succeeded() const { return error == AXError::Success; }
    static AXResult failure(int error) { return AXResult{error, AXValue()}; }
    static AXResult success(AXValue value) { return AXResult{AXError::Success, std::move(value)}; }
};

// The accessibility interface: reads and changes the windows of other applications. Every call
// answers with an error number instead of failing.
class Accessibility {
public:
    virtual ~Accessibility() = default;

    // Whether this process may use the interface at all.
    virtual bool isProcessTrusted() = 0;
    // The element of the application with this process identifier. It always comes back; reads
    // on it fail when the process cannot be reached.
    virtual AXElement applicationElement(qint32 pid) = 0;
    virtual AXResult copyAttributeValue(AXElement element, const QString& attribute) = 0;
    virtual int setAttributeValue(AXElement element, const QString& attribute, const AXValue& value) = 0;
    virtual int performAction(AXElement element, const QString& action) = 0;
    // The elements are about to be read one after another: a platform that can ask for them all
    // in one go does so now, and the reads that follow in the same breath need no wait of their
    // own. Reads of elements not named here are unaffected.
    virtual void readTogether(const QList<AXElement>& elements) { (void)elements; }
    // The elements will be read together after a short pause: a platform that can ask for them now
    // does so, and that read takes the answers (as the elements stood when asked) without waiting.
    virtual void readAhead(const QList<AXElement>& elements) { (void)elements; }
};
