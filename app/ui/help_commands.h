#pragma once
// The help drop-down's commands: About (the version text), the language
// switch (its question, then the flag in PolyvoxSet.lang for the next start)
// and the conversion tool Filvert (started from the program folder by its
// absolute path with the language flag, not waited for).

#include "app/config/configuration.h"

#include <QString>

namespace kestrova::app::ui {

class CMainFrame;

// "V%d.%d.%d.%d" of the program's version.
QString versionText();
// "Kestrova, " + versionText().
QString aboutText();

// The switch's question for a change to English (`toEnglish`) or Chinese:
// asked in the language the interface shows now.
QString languageQuestion(bool toEnglish);
// After the operator's answer (anything but Cancel): writes the flag. The
// running interface does not change. False when the flag could not be written.
bool applyLanguageAnswer(Configuration& config, bool toEnglish, bool cancelled);

// Starts programFolder/Filvert with "0" or "1"; false (with a message to the
// operator) when it cannot be started.
bool startConversionTool(Configuration& config);

// Wires the frame's help signals to the above.
void connectHelpCommands(CMainFrame& frame, Configuration& config);

} // namespace kestrova::app::ui
