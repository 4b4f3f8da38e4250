#include "Platform/Linux/X11Text.h"

#include <QGuiApplication>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

QByteArray firstString(const QByteArray& data) {
    const qsizetype zero = data.indexOf('\0');
    return zero >= 0 ? data.left(zero) : data;
}

// Xlib's display on Qt's connection; Xlib converts compound text without asking the server.
Display* xlibDisplay() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    auto* x11 = app ? app->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->display() : nullptr;
}

std::optional<QString> fromCompoundText(const QByteArray& bytes, xcb_atom_t encoding) {
    Display* display = xlibDisplay();
    if (!display) {
        return std::nullopt;
    }
    XTextProperty text;
    text.value = reinterpret_cast<unsigned char*>(const_cast<char*>(bytes.constData()));
    text.encoding = encoding;
    text.format = 8;
    text.nitems = static_cast<unsigned long>(bytes.size());
    char** list = nullptr;
    int count = 0;
    // A positive answer counts characters that had no UTF-8 form and were replaced: still text.
    const int status = Xutf8TextPropertyToTextList(display, &text, &list, &count);
    std::optional<QString> result;
    if (status >= Success && list && count > 0) {
        result = QString::fromUtf8(list[0]);
    }
    if (list) {
        XFreeStringList(list);
    }
    return result;
}

} // namespace

X11Text::X11Text(X11Connection& connection)
    : m_compoundText(connection.atom("COMPOUND_TEXT")) {
}

std::optional<QString> X11Text::decode(const X11Connection::Property& property) const {
    if (property.format != 8) {
        return std::nullopt;
    }
    const QByteArray bytes = firstString(property.data);
    if (property.type == XCB_ATOM_STRING) {
        return QString::fromLatin1(bytes);
    }
    if (property.type == m_compoundText && m_compoundText != XCB_ATOM_NONE) {
        if (std::optional<QString> text = fromCompoundText(bytes, property.type)) {
            return text;
        }
    }
    // UTF8_STRING, and whatever else a client put there: UTF-8 is the likeliest guess.
    return QString::fromUtf8(bytes);
}
