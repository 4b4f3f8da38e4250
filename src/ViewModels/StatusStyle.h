#pragma once

#include <QString>

#include <optional>

// How the status line shows a status text: its colour (one of the theme's named colours), its
// symbol and whether a Revert button may go with it. Chosen by comparing the text with the fixed
// status texts of the menu-bar window, so those texts are the interface between the two.
struct StatusStyle {
    // "secondary", "green", "red", "orange", "purple" or "blue".
    QString color;
    // A symbol name; empty for no text.
    QString icon;
    bool offersRevert = false;

    // The first matching row of the table: exact texts, then any text containing "Partially",
    // then the rest (progress texts and other summaries) in blue.
    static StatusStyle forMessage(const std::optional<QString>& message);

    bool operator==(const StatusStyle&) const = default;
};
