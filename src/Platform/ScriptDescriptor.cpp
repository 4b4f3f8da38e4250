#include "Platform/ScriptDescriptor.h"

#include <utility>

ScriptDescriptor ScriptDescriptor::list(QList<ScriptDescriptor> items) {
    ScriptDescriptor d;
    d.m_kind = Kind::List;
    d.m_items = std::move(items);
    return d;
}

ScriptDescriptor ScriptDescriptor::text(const QString& value) {
    ScriptDescriptor d;
    d.m_kind = Kind::Text;
    d.m_text = value;
    return d;
}

ScriptDescriptor ScriptDescriptor::boolean(bool value) {
    ScriptDescriptor d;
    d.m_kind = Kind::Boolean;
    d.m_boolean = value;
    return d;
}

ScriptDescriptor ScriptDescriptor::integer(std::int32_t value) {
    ScriptDescriptor d;
    d.m_kind = Kind::Integer;
    d.m_integer = value;
    return d;
}

ScriptDescriptor ScriptDescriptor::missing() {
    return ScriptDescriptor();
}

std::uint32_t ScriptDescriptor::descriptorType() const {
    switch (m_kind) {
    case Kind::List:
        return typeList;
    case Kind::Text:
        return typeText;
    case Kind::Boolean:
        return typeBoolean;
    case Kind::Integer:
        return typeInteger;
    case Kind::Missing:
        break;
    }
    return typeMissing;
}

int ScriptDescriptor::numberOfItems() const {
    return m_kind == Kind::List ? static_cast<int>(m_items.size()) : 0;
}

const ScriptDescriptor* ScriptDescriptor::descriptorAtIndex(int index) const {
    if (m_kind != Kind::List || index < 1 || index > m_items.size()) {
        return nullptr;
    }
    return &m_items[index - 1];
}

std::optional<QString> ScriptDescriptor::stringValue() const {
    if (m_kind != Kind::Text) {
        return std::nullopt;
    }
    return m_text;
}

bool ScriptDescriptor::booleanValue() const {
    switch (m_kind) {
    case Kind::Boolean:
        return m_boolean;
    case Kind::Integer:
        return m_integer != 0;
    default:
        return false;
    }
}

std::int32_t ScriptDescriptor::int32Value() const {
    switch (m_kind) {
    case Kind::Integer:
        return m_integer;
    case Kind::Boolean:
        return m_boolean ? 1 : 0;
    default:
        return 0;
    }
}
