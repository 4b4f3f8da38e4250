#pragma once

// What every process that shows Ordella's QML views does once, before its first QML engine: the
// Basic controls style restyled by Theme, native text rendering and the interface font.
class UiSetup {
public:
    UiSetup() = delete;

    static void prepare();
};
