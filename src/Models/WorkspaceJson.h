#pragma once

#include "Models/JsonResult.h"
#include "Models/Workspace.h"

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>

#include <functional>

// The JSON form of the workspace records: the one format in which workspaces are stored,
// exported and imported: the records' keys, their trigger cases and the document around them.
// Single values (texts, numbers, UUIDs, dates) are read and written by JsonValueCodec.
//
// Writing: keys are the field names, UUIDs upper case, dates whole-second UTC
// ("2024-05-01T09:30:00Z"), absent optionals left out. A number that JSON cannot hold (NaN,
// infinity) is refused rather than written as null, which could never be read back.
//
// Reading is strict: whole numbers for integers, 0...4294967295 for the unsigned 32-bit fields,
// finite numbers, 36-character UUIDs (either case), whole-second dates with "Z" or a numeric
// offset ("2024-05-01T11:30:00+02:00", read in UTC); a missing or mistyped required key fails
// the whole record. Unknown keys are ignored. A workspace file without "schemaVersion",
// "closeOtherApps" or "triggers" reads as 1, false and no triggers.
class WorkspaceJson {
public:
    // The JSON object of one record: a Workspace, AppSnapshot, WindowSnapshot, TabSnapshot,
    // DisplaySnapshot, SnapshotRect, WorkspaceTrigger or GlobalKeyShortcut.
    template <typename T> static JsonResult<QJsonObject> encode(const T& record);
    // Reads one record of type T (any of those above) from a JSON value.
    template <typename T> static JsonResult<T> decode(const QJsonValue& value);

    // Asked with the length of each list of windows or tabs before it is read (a list of windows
    // before the tabs of its windows); answering false fails the reading there, before the list
    // takes any memory.
    using PartsBudget = std::function<bool(qsizetype parts)>;

    // One workspace file: the record as an indented JSON object.
    static JsonResult<QByteArray> encodeFile(const Workspace& workspace);
    static JsonResult<Workspace> decodeFile(const QByteArray& data, const PartsBudget& budget = {});

    // An export: every workspace, in the given order, as one indented JSON array.
    static JsonResult<QByteArray> encodeList(const QList<Workspace>& workspaces);
    static JsonResult<QList<Workspace>> decodeList(const QByteArray& data);

    // The upper-case form of a UUID without braces, as written and as used in file names.
    static QString uuidString(const QUuid& id);

    static constexpr const char* invalidTriggerKeysMessage = "Invalid number of keys found, expected one.";
};
