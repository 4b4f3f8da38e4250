#include "Platform/Linux/X11DockedWindow.h"

#include "Platform/Linux/X11Connection.h"

std::optional<QRect> X11DockedWindow::geometry(WId window) {
    xcb_connection_t* connection = X11Connection::applicationConnection();
    if (!connection || window == 0) {
        return std::nullopt;
    }
    const auto x11Window = xcb_window_t(window);
    // A window gone meanwhile answers with errors, taken here rather than left to Qt.
    xcb_generic_error_t* treeError = nullptr;
    xcb_generic_error_t* sizeError = nullptr;
    const xcb_query_tree_cookie_t treeCookie = xcb_query_tree(connection, x11Window);
    const xcb_get_geometry_cookie_t sizeCookie = xcb_get_geometry(connection, x11Window);
    const X11Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(connection, treeCookie, &treeError));
    const X11Reply<xcb_get_geometry_reply_t> size(xcb_get_geometry_reply(connection, sizeCookie, &sizeError));
    const X11Reply<xcb_generic_error_t> errors[] = {X11Reply<xcb_generic_error_t>(treeError),
                                                    X11Reply<xcb_generic_error_t>(sizeError)};
    if (!tree || !size || tree->parent == tree->root || tree->parent == XCB_WINDOW_NONE || size->width == 0 ||
        size->height == 0) {
        return std::nullopt;
    }
    xcb_generic_error_t* originError = nullptr;
    const X11Reply<xcb_translate_coordinates_reply_t> origin(xcb_translate_coordinates_reply(
        connection, xcb_translate_coordinates(connection, x11Window, tree->root, 0, 0), &originError));
    const X11Reply<xcb_generic_error_t> lastError(originError);
    if (!origin) {
        return std::nullopt;
    }
    return QRect(origin->dst_x, origin->dst_y, size->width, size->height);
}
