#pragma once

#include "Platform/Linux/X11Client.h"
#include "Platform/Linux/X11Connection.h"
#include "Platform/Linux/X11Text.h"

#include <QHash>

#include <array>
#include <optional>

// The properties read for every managed window, and what they say of it: its owner, title,
// class, type, state, desktop, decoration and reserved space. The atoms are interned when it is
// made, so that a reading that asks for them has nothing to wait for before its requests go out.
class X11ClientProperties {
public:
    static constexpr size_t count = 12;
    using Values = std::array<std::optional<X11Connection::Property>, count>;

    explicit X11ClientProperties(X11Connection& connection);

    // The properties to ask each window for, in the order of Values.
    const std::array<xcb_atom_t, count>& atoms() const { return m_atoms; }
    // Whether the window was still there when its properties were read.
    static bool windowExisted(const Values& values);
    // Fills in what the values say of client; its owner only when it has none yet (the server's
    // word on who made a window comes first).
    void apply(const Values& values, X11Client& client) const;

private:
    std::array<xcb_atom_t, count> m_atoms{};
    X11Text m_text;
    QHash<xcb_atom_t, X11Client::Type> m_types;
    xcb_atom_t m_hidden = XCB_ATOM_NONE;
    xcb_atom_t m_fullScreen = XCB_ATOM_NONE;
    xcb_atom_t m_skipTaskbar = XCB_ATOM_NONE;
    xcb_atom_t m_above = XCB_ATOM_NONE;
    xcb_atom_t m_demandsAttention = XCB_ATOM_NONE;
};
