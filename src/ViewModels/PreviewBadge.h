#pragma once

#include <QObject>

// The status tag shown beside an application in the preview lists (None: no tag).
class PreviewBadge : public QObject {
    Q_OBJECT
public:
    enum class Kind { None, Saved, New, Minimized, Hidden };
    Q_ENUM(Kind)

    PreviewBadge() = delete;
};
