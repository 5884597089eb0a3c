#pragma once
// Stand-ins for the window around the project flows: a host that records what
// the program was told, and dialogs that answer from a script.

#include "app/project.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace kestrova::app::testing {

class RecordingProjectHost : public ProjectHost {
  public:
    std::vector<std::string> events;
    std::vector<std::string> titles;
    // The per-project lists (recorded files, targets, track): what a load sees.
    std::vector<std::string> lists;
    std::optional<std::size_t> listsSeenByLoad;
    bool playback = false;
    SurveyLineLoad lineResult = SurveyLineLoad::Loaded;
    std::vector<std::string> linesLoaded;

    void setWindowTitle(const std::string& title) override { titles.push_back(title); }
    void clearProjectLists() override {
        lists.clear();
        events.push_back("clear");
    }
    bool playbackMode() const override { return playback; }
    void leavePlayback() override {
        playback = false;
        events.push_back("leave playback");
    }
    void projectChanged() override { events.push_back("changed"); }
    SurveyLineLoad loadSurveyLineFile(const std::string& path) override {
        linesLoaded.push_back(path);
        events.push_back("line");
        return lineResult;
    }
    void sonarSettingsLoaded() override {
        listsSeenByLoad = lists.size();
        events.push_back("sonar");
    }
    void geoSettingsLoaded() override { events.push_back("geo"); }
    void naviSettingsLoaded() override { events.push_back("navi"); }
    void insSettingsLoaded() override { events.push_back("ins"); }
    void displaySettingsLoaded(double soundSpeed) override {
        events.push_back("display " + std::to_string(soundSpeed));
    }
    void projectLoaded() override { events.push_back("loaded"); }
};

class ScriptedProjectDialogs : public ProjectDialogs {
  public:
    std::deque<ManageChoice> manageAnswers;
    std::deque<std::optional<NewProjectEntry>> newProjectAnswers; // empty: Cancel
    std::deque<std::optional<std::string>> fileAnswers;           // empty: Cancel
    int manageShown = 0;
    std::vector<NewProjectEntry> presets;
    std::vector<OpenProjectRequest> openRequests;

    ManageChoice showManageDialog() override {
        ++manageShown;
        return pop(manageAnswers, ManageChoice::None);
    }
    std::optional<NewProjectEntry> showNewProjectDialog(const NewProjectEntry& preset) override {
        presets.push_back(preset);
        return pop(newProjectAnswers, std::optional<NewProjectEntry>{});
    }
    std::optional<std::string> chooseProjectFile(const OpenProjectRequest& request) override {
        openRequests.push_back(request);
        return pop(fileAnswers, std::optional<std::string>{});
    }

  private:
    template <class T> static T pop(std::deque<T>& q, T fallback) {
        if (q.empty()) return fallback;
        T v = q.front();
        q.pop_front();
        return v;
    }
};

} // namespace kestrova::app::testing
