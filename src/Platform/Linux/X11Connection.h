#pragma once

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include "Platform/Linux/X11ServerTime.h"

#include <xcb/xcb.h>
#include <xcb/xcbext.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

// A reply of the X server, freed with its holder.
struct X11Free {
    void operator()(void* p) const { std::free(p); }
};
template <typename T> using X11Reply = std::unique_ptr<T, X11Free>;

// The X server, reached through the connection Qt already holds, so that Ordella reads and asks
// through no second connection and sees the same events as the rest of the program (only the
// server's time is asked on a connection of its own: see X11ServerTime). Every request that may fail
// (a window that went away meanwhile) is made so that its error comes back to the caller or is
// dropped; none reaches Qt's error handler. Everything runs on the main thread.
class X11Connection : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    // One property value as the server stores it.
    struct Property {
        xcb_atom_t type = XCB_ATOM_NONE;
        quint8 format = 0;
        QByteArray data;

        // The value read as 32-bit items (cardinals, windows, atoms); empty for other formats.
        QList<quint32> items() const;
        // The value as text: UTF-8 for UTF8_STRING, Latin-1 for STRING, cut at the first zero.
        QString text() const;
    };

    // The connection of this program's Qt application; nothing when it does not run on X11.
    static std::shared_ptr<X11Connection> open();
    // The same connection as Qt holds it, for a question or two; null when there is none.
    static xcb_connection_t* applicationConnection();
    // The number of the screen Qt opened: the one DISPLAY names after its dot, else the first.
    static int displayScreenNumber();
    ~X11Connection() override;

    xcb_connection_t* xcb() const { return m_connection; }
    xcb_window_t root() const { return m_root; }
    const xcb_screen_t* screen() const { return m_screen; }

    // The answer to a request made with cookie, read with its reply function (xcb_..._reply);
    // nothing when the server answered with an error, which is dropped.
    // Waiting for a reply that has not arrived yet costs a round trip, unless nothing was sent
    // since the last one (the answers to one batch of requests, arriving in pieces).
    template <typename ReplyFunction, typename Cookie>
    auto reply(ReplyFunction function, Cookie cookie) const {
        using Answer = std::remove_pointer_t<decltype(function(m_connection, cookie, nullptr))>;
        xcb_generic_error_t* error = nullptr;
        void* ready = nullptr;
        if (xcb_poll_for_reply(m_connection, cookie.sequence, &ready, &error) == 0) {
            ready = function(m_connection, cookie, &error);
            if (const quint64 written = xcb_total_written(m_connection); written != m_writtenAtRoundTrip) {
                m_writtenAtRoundTrip = written;
                s_roundTrips.fetch_add(1, std::memory_order_relaxed);
            }
            answered();
        }
        std::free(error);
        return X11Reply<Answer>(static_cast<Answer*>(ready));
    }

    // How many round trips to the X server this process has made so far (for benchmarks).
    static quint64 roundTrips() { return s_roundTrips.load(std::memory_order_relaxed); }

    // The atom of name, interned once and remembered.
    xcb_atom_t atom(const char* name);

    // Properties of windows, all requested before the first answer is read. An entry is nothing
    // when the window is gone, and an empty Property when the window has no such property.
    QList<std::optional<Property>> properties(const QList<std::pair<xcb_window_t, xcb_atom_t>>& requests);
    // The same in two halves, for callers that mix property requests with others: the request,
    // then its answer. Answers are best read in the order their requests were sent, as the server
    // sends them: one read out of turn makes each later one look through those passed over.
    xcb_get_property_cookie_t requestProperty(xcb_window_t window, xcb_atom_t atom);
    std::optional<Property> propertyReply(xcb_get_property_cookie_t cookie) const;
    std::optional<Property> property(xcb_window_t window, xcb_atom_t atom);

    // The time to send with a request that stands for the user's action (an activation): the
    // server's time now, else the time of the last event this program got from it, else 0.
    xcb_timestamp_t serverTime();
    // The time of the latest event that carried one; 0 before the first.
    xcb_timestamp_t lastEventTime() const { return m_lastEventTime; }

    // A client message to the root window, as window managers expect requests from pagers.
    void sendRootMessage(xcb_window_t window, xcb_atom_t type, const std::array<quint32, 5>& data);
    // Drops the error a checked request may bring, without waiting for it.
    void discard(xcb_void_cookie_t cookie);
    // Drops the answer to a request whose answer is no longer wanted.
    void discardReply(unsigned int sequence);
    void flush();

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

    // Counts the RandR layout changes seen so far, so that what was read of the monitors can be
    // kept until the next one.
    quint64 screenLayoutGeneration() const { return m_screenLayoutGeneration; }

    // What was read is trusted within one pass of the event loop while the code that reads keeps
    // at it: a pause of passPause between two reads in which this thread did not run (code that
    // waits for something without turning the event loop), or passLifetime in all, also ends it.
    static constexpr std::chrono::milliseconds passPause{20};
    static constexpr std::chrono::milliseconds passLifetime{1000};
    // How often the pause is measured while reads follow each other closely.
    static constexpr std::chrono::milliseconds passSampling{1};
    // The number of the current pass: what was read under the same number may be used again. A
    // new pass begins at the next turn of the event loop, or after a pause or the lifetime above.
    quint64 pass();

    // Tells those who follow the server that a flight of requests is about to go out (a read of
    // windows), so that what they will want next can go with it instead of on a wait of its own.
    void beginFlight() { emit flightBegins(); }

signals:
    void flightBegins();
    // A property of the root window changed (the client list, the active window, ...).
    void rootPropertyChanged(xcb_atom_t atom);
    // The RandR layout changed: a monitor, an output or the screen size.
    void screenLayoutChanged();
    // A key grabbed on the root window was pressed or let go (the keycode, the modifier state and
    // the server's time of the event).
    void keyPressed(quint8 keycode, quint16 state, xcb_timestamp_t time);
    void keyReleased(quint8 keycode, quint16 state, xcb_timestamp_t time);
    // The keyboard's keycodes or modifiers were given other meanings (a layout change).
    void keyboardMappingChanged();

private:
    X11Connection(xcb_connection_t* connection, const xcb_screen_t* screen);
    // The processor time this thread has used so far.
    static std::chrono::nanoseconds threadTime();
    void watchRoot();
    void noteTime(xcb_timestamp_t time);
    // A wait for the server's answer has just ended: it was the read's own, not a pause between
    // two reads, and ends no pass however long a busy server took.
    void answered() const;

    xcb_connection_t* m_connection = nullptr;
    const xcb_screen_t* m_screen = nullptr;
    xcb_window_t m_root = XCB_WINDOW_NONE;
    quint8 m_randrEventBase = 0;
    quint64 m_screenLayoutGeneration = 0;
    // What had been sent to the server at the last round trip.
    mutable quint64 m_writtenAtRoundTrip = 0;
    quint64 m_pass = 1;
    bool m_passUsed = false;
    std::chrono::steady_clock::time_point m_passBegan;
    mutable std::chrono::steady_clock::time_point m_passUsedAt;
    mutable std::chrono::nanoseconds m_passBusyAt{0};
    QHash<QByteArray, xcb_atom_t> m_atoms;
    xcb_timestamp_t m_lastEventTime = XCB_CURRENT_TIME;
    std::unique_ptr<X11ServerTime> m_serverTime;
    // The pass in which the server's time was asked last (0: never).
    quint64 m_serverTimePass = 0;
    static inline std::atomic<quint64> s_roundTrips{0};
};
