#pragma once

// The view models of src/ViewModels as QML knows them: types that views take as (required)
// properties and read, but never create. Add a view model here when a view needs it.
#include "ViewModels/AppRestorePreviewRowModel.h"
#include "ViewModels/AppRootModel.h"
#include "ViewModels/AppSelectionRowModel.h"
#include "ViewModels/BrowserSelectionRowModel.h"
#include "ViewModels/CapturePanelModel.h"
#include "ViewModels/DisplayPickerModel.h"
#include "ViewModels/IconPickerModel.h"
#include "ViewModels/OnboardingViewModel.h"
#include "ViewModels/PopoverModel.h"
#include "ViewModels/PreferencesViewModel.h"
#include "ViewModels/PreviewBadge.h"
#include "ViewModels/SaveWorkspacePanelModel.h"
#include "ViewModels/SelectionCellModel.h"
#include "ViewModels/SelectionRowModel.h"
#include "ViewModels/ShortcutRecorderModel.h"
#include "ViewModels/TabCellModel.h"
#include "ViewModels/UpdateBannerModel.h"
#include "ViewModels/UpdateWorkspacePanelModel.h"
#include "ViewModels/WindowCellModel.h"
#include "ViewModels/WorkspacePreviewInlineModel.h"
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

struct WorkspacePreviewInlineModelForeign {
    Q_GADGET
    QML_FOREIGN(WorkspacePreviewInlineModel)
    QML_NAMED_ELEMENT(WorkspacePreviewInlineModel)
    QML_UNCREATABLE("Made by the view's owner")
};

struct AppRestorePreviewRowModelForeign {
    Q_GADGET
    QML_FOREIGN(AppRestorePreviewRowModel)
    QML_NAMED_ELEMENT(AppRestorePreviewRowModel)
    QML_UNCREATABLE("Made by the view's owner")
};

struct SelectionRowModelForeign {
    Q_GADGET
    QML_FOREIGN(SelectionRowModel)
    QML_NAMED_ELEMENT(SelectionRowModel)
    QML_UNCREATABLE("Made by the view's owner")
};

struct AppSelectionRowModelForeign {
    Q_GADGET
    QML_FOREIGN(AppSelectionRowModel)
    QML_NAMED_ELEMENT(AppSelectionRowModel)
    QML_UNCREATABLE("Made by the view's owner")
};

struct BrowserSelectionRowModelForeign {
    Q_GADGET
    QML_FOREIGN(BrowserSelectionRowModel)
    QML_NAMED_ELEMENT(BrowserSelectionRowModel)
    QML_UNCREATABLE("Made by the view's owner")
};

struct SelectionCellModelForeign {
    Q_GADGET
    QML_FOREIGN(SelectionCellModel)
    QML_NAMED_ELEMENT(SelectionCellModel)
    QML_UNCREATABLE("Made by the view's owner")
};

struct WindowCellModelForeign {
    Q_GADGET
    QML_FOREIGN(WindowCellModel)
    QML_NAMED_ELEMENT(WindowCellModel)
    QML_UNCREATABLE("Made by the view's owner")
};

struct TabCellModelForeign {
    Q_GADGET
    QML_FOREIGN(TabCellModel)
    QML_NAMED_ELEMENT(TabCellModel)
    QML_UNCREATABLE("Made by the view's owner")
};

struct PreferencesViewModelForeign {
    Q_GADGET
    QML_FOREIGN(PreferencesViewModel)
    QML_NAMED_ELEMENT(PreferencesViewModel)
    QML_UNCREATABLE("Made by the view's owner")
};

struct SettingsViewModelForeign {
    Q_GADGET
    QML_FOREIGN(SettingsViewModel)
    QML_NAMED_ELEMENT(SettingsViewModel)
    QML_UNCREATABLE("Made by the view's owner")
};

struct AppExclusionPickerModelForeign {
    Q_GADGET
    QML_FOREIGN(AppExclusionPickerModel)
    QML_NAMED_ELEMENT(AppExclusionPickerModel)
    QML_UNCREATABLE("Made by the view's owner")
};

struct PermissionsModelForeign {
    Q_GADGET
    QML_FOREIGN(PermissionsModel)
    QML_NAMED_ELEMENT(PermissionsModel)
    QML_UNCREATABLE("Made by the view's owner")
};

struct UpdateSectionModelForeign {
    Q_GADGET
    QML_FOREIGN(UpdateSectionModel)
    QML_NAMED_ELEMENT(UpdateSectionModel)
    QML_UNCREATABLE("Made by the view's owner")
};

struct DataTabModelForeign {
    Q_GADGET
    QML_FOREIGN(DataTabModel)
    QML_NAMED_ELEMENT(DataTabModel)
    QML_UNCREATABLE("Made by the view's owner")
};

struct SupportTabModelForeign {
    Q_GADGET
    QML_FOREIGN(SupportTabModel)
    QML_NAMED_ELEMENT(SupportTabModel)
    QML_UNCREATABLE("Made by the view's owner")
};

struct AboutTabModelForeign {
    Q_GADGET
    QML_FOREIGN(AboutTabModel)
    QML_NAMED_ELEMENT(AboutTabModel)
    QML_UNCREATABLE("Made by the view's owner")
};

struct PopoverModelForeign {
    Q_GADGET
    QML_FOREIGN(PopoverModel)
    QML_NAMED_ELEMENT(PopoverModel)
    QML_UNCREATABLE("Made by the application")
};

struct AppRootModelForeign {
    Q_GADGET
    QML_FOREIGN(AppRootModel)
    QML_NAMED_ELEMENT(AppRootModel)
    QML_UNCREATABLE("Made by the application")
};

struct CapturePanelModelForeign {
    Q_GADGET
    QML_FOREIGN(CapturePanelModel)
    QML_NAMED_ELEMENT(CapturePanelModel)
    QML_UNCREATABLE("Made by the window's model")
};

struct SaveWorkspacePanelModelForeign {
    Q_GADGET
    QML_FOREIGN(SaveWorkspacePanelModel)
    QML_NAMED_ELEMENT(SaveWorkspacePanelModel)
    QML_UNCREATABLE("Made by the window's model")
};

struct UpdateWorkspacePanelModelForeign {
    Q_GADGET
    QML_FOREIGN(UpdateWorkspacePanelModel)
    QML_NAMED_ELEMENT(UpdateWorkspacePanelModel)
    QML_UNCREATABLE("Made by the window's model")
};

struct UpdateBannerModelForeign {
    Q_GADGET
    QML_FOREIGN(UpdateBannerModel)
    QML_NAMED_ELEMENT(UpdateBannerModel)
    QML_UNCREATABLE("Made by the window's model")
};

struct OnboardingViewModelForeign {
    Q_GADGET
    QML_FOREIGN(OnboardingViewModel)
    QML_NAMED_ELEMENT(OnboardingViewModel)
    QML_UNCREATABLE("Made by the root's model")
};
