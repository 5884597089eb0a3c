#pragma once
// The texts of the control pages that are written once in the code: one table
// of (Chinese, English) pairs. After a page tree is built, speakLanguage()
// turns every caption, label, button, list item, tab and tooltip that the
// table knows into the interface language; the original text is kept as the
// widget's "sourceText" property so pages that find a readout by its caption
// still can.

#include <QString>

class QWidget;

namespace kestrova::app::ui {

struct TextPair {
    const char* chinese;
    const char* english;
};

// The text in the interface language, or `text` itself when the table has no pair.
QString interfaceText(const QString& text, bool english);

// Every known text of `root` and its children in the interface language.
void speakLanguage(QWidget* root, bool english);

// The caption a widget was built with (before speakLanguage changed it).
QString sourceText(const QWidget* widget, const QString& shown);

} // namespace kestrova::app::ui
