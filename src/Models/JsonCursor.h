#pragma once

#include "Models/JsonError.h"

#include <QString>

#include <vector>

class QJsonValue;

// The place inside a JSON document being read or written, for error messages: keys joined by
// dots, list positions in brackets ("appSnapshots[0].frame.x"), and the first failure met. Kept
// as plain keys and numbers, and turned into text only on failure, because reading a workspace
// walks thousands of places.
class JsonCursor {
public:
    // Stands at a key (a string that outlives the step) or a list position while it lives.
    class Step {
    public:
        Step(JsonCursor& cursor, const char* key)
            : m_cursor(cursor) {
            m_cursor.m_path.push_back({key, 0});
        }
        Step(JsonCursor& cursor, qsizetype index)
            : m_cursor(cursor) {
            m_cursor.m_path.push_back({nullptr, index});
        }
        ~Step() { m_cursor.m_path.pop_back(); }
        Step(const Step&) = delete;
        Step& operator=(const Step&) = delete;

    private:
        JsonCursor& m_cursor;
    };

    bool failed() const { return m_failed; }
    const JsonError& error() const { return m_error; }

    // Records the first failure only: later ones are consequences of it. Answers false.
    bool fail(const QString& message);
    // Fails with what was expected and the kind of value found instead.
    bool mismatch(const char* expected, const QJsonValue& found);

private:
    struct Segment {
        const char* key; // null for a list position
        qsizetype index;
    };

    QString path() const;

    std::vector<Segment> m_path;
    JsonError m_error;
    bool m_failed = false;
};
