#include "Views/OutsideText.h"

#include "Extensions/BidiText.h"

QString OutsideText::shown(const QString& text) {
    return BidiText::isolated(text);
}
