#pragma once

#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

// One value of a script's answer: a list, a text, a truth value, an integer or the script
// language's "missing value". Lists are read with 1-based indexes, as script answers are.
class ScriptDescriptor {
public:
    enum class Kind { List, Text, Boolean, Integer, Missing };

    // Four-character type codes of the kinds, as answers carry them.
    static constexpr std::uint32_t typeList = 0x6C697374;    // 'list'
    static constexpr std::uint32_t typeText = 0x75747874;    // 'utxt'
    static constexpr std::uint32_t typeBoolean = 0x626F6F6C; // 'bool'
    static constexpr std::uint32_t typeInteger = 0x6C6F6E67; // 'long'
    static constexpr std::uint32_t typeMissing = 0x74797065; // 'type' (the missing-value constant)

    ScriptDescriptor() = default; // missing value
    static ScriptDescriptor list(QList<ScriptDescriptor> items = {});
    static ScriptDescriptor text(const QString& value);
    static ScriptDescriptor boolean(bool value);
    static ScriptDescriptor integer(std::int32_t value);
    static ScriptDescriptor missing();

    Kind kind() const { return m_kind; }
    std::uint32_t descriptorType() const;

    // Number of items of a list; 0 for anything else.
    int numberOfItems() const;
    // The item at a 1-based index, or nullptr when there is none.
    const ScriptDescriptor* descriptorAtIndex(int index) const;
    // The text of a text value; nothing for every other kind.
    std::optional<QString> stringValue() const;
    // A truth value: booleans as they are, integers when non-zero, everything else false.
    bool booleanValue() const;
    // An integer: integers as they are, booleans as 0 or 1, everything else 0.
    std::int32_t int32Value() const;

    void append(const ScriptDescriptor& item) { m_items.append(item); }

    bool operator==(const ScriptDescriptor&) const = default;

private:
    Kind m_kind = Kind::Missing;
    QList<ScriptDescriptor> m_items;
    QString m_text;
    std::int32_t m_integer = 0;
    bool m_boolean = false;
};
