#pragma once

// The view models of src/ViewModels as QML knows them: types that views take as (required)
// properties and read, but never create. Add a view model here when a view needs it.
#include "ViewModels/DisplayPickerModel.h"
#include "ViewModels/IconPickerModel.h"
#include "ViewModels/PreviewBadge.h"
#include "ViewModels/ShortcutRecorderModel.h"
#include "ViewModels/WorkspaceRowModel.h"

#include <QtQml/qqmlregistration.h>

struct WorkspaceRowModelForeign {
    Q_GADGET
    QML_FOREIGN(WorkspaceRowModel)
    QML_NAMED_ELEMENT(WorkspaceRowModel)
    QML_UNCREATABLE("Made by the view's owner")
};

struct ShortcutRecorderModelForeign {
    Q_GADGET
    QML_FOREIGN(ShortcutRecorderModel)
    QML_NAMED_ELEMENT(ShortcutRecorderModel)
    QML_UNCREATABLE("Made by the view's owner")
};

struct IconPickerModelForeign {
    Q_GADGET
    QML_FOREIGN(IconPickerModel)
    QML_NAMED_ELEMENT(IconPickerModel)
    QML_UNCREATABLE("Made by the view's owner")
};

struct DisplayPickerModelForeign {
    Q_GADGET
    QML_FOREIGN(DisplayPickerModel)
    QML_NAMED_ELEMENT(DisplayPickerModel)
    QML_UNCREATABLE("Made by the view's owner")
};

struct PreviewBadgeForeign {
    Q_GADGET
    QML_FOREIGN(PreviewBadge)
    QML_NAMED_ELEMENT(PreviewBadge)
    QML_UNCREATABLE("Holds the badge kinds only")
};
