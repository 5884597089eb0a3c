#pragma once
// What the navigation view's line commands do to the loaded line file, the
// project's "Navi" folder and the project file (FileOfNavi/CurLine), with the
// operator's messages.

#include "app/config/message.h"
#include "navigation/survey_line.h"
#include "navigation/towfish.h"

#include <string>
#include <vector>

namespace kestrova::navigation {

// Reads the file into the set; on any refusal shows the message and leaves
// the set as it was.
bool load_line_file(NavigationLineSet& set, const std::string& path, bool display,
                    app::Messenger& messenger);

struct ImportPlace {
    std::string naviFolder;  // the project's navigation folder
    std::string projectFile; // the project file (.ksp); empty: nothing remembered
};

// Copies each chosen ".lnw" file into the navigation folder (asking before a
// replace), loads it and remembers it under CurLine. DXF files are skipped.
// Returns how many files were loaded.
int import_line_files(NavigationLineSet& set, const std::vector<std::string>& files,
                      const ImportPlace& place, app::Messenger& messenger);

// Asks, then empties the set and forgets CurLine. True when closed.
bool close_line_file(NavigationLineSet& set, const std::string& projectFile,
                     app::Messenger& messenger);

// "No line is loaded" when nothing is; true when the current line changed.
bool previous_line(NavigationLineSet& set, app::Messenger& messenger);
bool next_line(NavigationLineSet& set, app::Messenger& messenger);
// Toggles the reverse flag, or shows "No line is loaded".
bool reverse_line(const NavigationLineSet& set, bool& reverseFlag, app::Messenger& messenger);

// Add-point mode: the clicked grid point goes to the editor's selected line.
// The editor may have deleted that line since the mode began, so the index is
// checked against the list as it is now ("No line is selected, can not add
// point!" otherwise). True when the point was added (the list is modified).
bool add_point_to_selected_line(std::vector<SurveyLine>* editorLines, int selectedLine,
                                GridPoint point, app::Messenger& messenger);

} // namespace kestrova::navigation
