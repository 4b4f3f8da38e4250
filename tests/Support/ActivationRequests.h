#pragma once

#include <xcb/xcb.h>

#include <QList>

// The activations other clients ask the window manager for while this lives, seen from a client of
// its own as a pager sees them: the requests go to the root window for whoever follows its
// substructure.
class ActivationRequests {
public:
    ActivationRequests();
    ~ActivationRequests();
    ActivationRequests(const ActivationRequests&) = delete;
    ActivationRequests& operator=(const ActivationRequests&) = delete;

    // The windows of every request sent before this call (by a client that waited for the server
    // since), in the order sent.
    QList<xcb_window_t> windows();
    // The times those requests were sent with.
    QList<xcb_timestamp_t> times();

private:
    struct Request {
        xcb_window_t window;
        xcb_timestamp_t time;
    };
    void collect();

    xcb_connection_t* m_connection;
    xcb_atom_t m_atom = XCB_ATOM_NONE;
    QList<Request> m_requests;
};
