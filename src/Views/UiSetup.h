#pragma once

// What every process that shows Ordella's QML views does once, before its first QML engine and
// window: Qt Quick's software renderer, the Basic controls style restyled by Theme, native text
// rendering and the interface font.
class UiSetup {
public:
    UiSetup() = delete;

    // Once per process; later calls do nothing.
    static void prepare();
};
