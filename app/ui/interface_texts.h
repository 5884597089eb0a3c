#pragma once
// The pages and dialogs are built with their texts in Chinese. In the English
// interface speakLanguage() then turns every caption, label, button, list
// item, tab and tooltip into Polyvox's English text (uiText); the text the
// widget was built with is kept as its "sourceText" property so pages that
// find a readout by its caption still can.

#include "app/config/interface_text.h"

#include <QString>

class QWidget;

namespace kestrova::app::ui {

// The text in the interface language. A Chinese caption followed by its value
// ("长度：12.50 m") is turned caption by caption.
QString interfaceText(const QString& text, bool english);

// Every text of `root` and its children in the interface language.
void speakLanguage(QWidget* root, bool english);

// The caption a widget was built with (before speakLanguage changed it).
QString sourceText(const QWidget* widget, const QString& shown);

} // namespace kestrova::app::ui
