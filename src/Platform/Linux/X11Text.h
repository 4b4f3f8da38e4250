#pragma once

#include "Platform/Linux/X11Connection.h"

#include <QString>

#include <optional>

// Text properties of windows (titles) read by the type they were stored with: UTF8_STRING is
// UTF-8, STRING is Latin-1, COMPOUND_TEXT (what older clients such as xterm set for a title
// outside Latin-1) is converted by Xlib, which knows its character-set switches.
class X11Text {
public:
    explicit X11Text(X11Connection& connection);

    // The text up to its first zero byte; nothing when it is not 8-bit text.
    std::optional<QString> decode(const X11Connection::Property& property) const;

private:
    xcb_atom_t m_compoundText = XCB_ATOM_NONE;
};
