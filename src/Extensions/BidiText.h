#pragma once

#include <QString>

// Text from outside (names, window and tab titles, reasons) beside the interface's own words. A
// right-to-left override (U+202E) or right-to-left letters in a name would otherwise reorder
// what follows the name on the same line. In the interface such a text is isolated: first-strong
// isolate (U+2068) before it, pop directional isolate (U+2069) after it, its own isolates
// balanced so that none can close the outer one early, and its paragraph separators (U+2029, a line
// feed...) replaced by U+FFFD like control characters: a paragraph ends every isolate and override
// open before it, so what followed one would escape. Text that cannot reorder anything is left
// as it is. On the command line the explicit directional formatting characters are replaced
// instead, like control characters: a terminal is no place for them.
class BidiText {
public:
    BidiText() = delete;

    static constexpr char16_t firstStrongIsolate = u'\u2068';
    static constexpr char16_t popDirectionalIsolate = u'\u2069';

    // Embeddings, overrides, isolates and their pops (U+202A-U+202E, U+2066-U+2069).
    static bool isDirectionalFormatting(char32_t c);
    // Characters that end a paragraph for the bidirectional algorithm (U+2029, line feed, carriage
    // return, U+001C-U+001E, U+0085).
    static bool isParagraphSeparator(char32_t c);
    // Whether text can change the order of the text around it: it holds directional formatting
    // characters, paragraph separators or right-to-left letters or digits.
    static bool affectsNeighbours(const QString& text);
    static QString isolated(const QString& text);
    // text with every directional formatting character replaced by U+FFFD.
    static QString withoutDirectionalFormatting(QString text);
    // text as one line of a log file: control characters (C0, DEL, C1), line and paragraph
    // separators, directional formatting characters and the direction marks are written as escapes
    // ("\n", "\r", "\t", else "\u" and four hex digits), so that it can neither start a line of its
    // own nor reorder the line it stands in; a backslash is doubled, so that no escape can be the
    // text's own characters. Other text is left as it is.
    static QString escapedForLog(const QString& text);
};
