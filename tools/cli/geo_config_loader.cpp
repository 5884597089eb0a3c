// The loader behind `geo --config FILE.ini` (and `positions --config`): section
// ParaOfGeo of a project configuration file read over the program defaults,
// exactly as a project load reads it.

#include "tools/cli/geo_config.h"

#include "app/config/configuration.h"
#include "platform/fs.h"
#include "platform/ini.h"

namespace kestrova::cli {
namespace {

bool loadParaOfGeo(const std::string& path, _DefGeodetsyParameterSetting& record,
                   std::string& error) {
    const std::string pathError =
        "Failed to read the configuration information, " + path + " path is error!";
    if (!platform::PathFileExistsA(path)) {
        error = pathError;
        return false;
    }
    platform::IniFile file(path);
    if (!file.load()) {
        error = pathError + (file.error().empty() ? "" : " (" + file.error() + ")");
        return false;
    }
    // A file without the section would silently give the defaults: a surveyor
    // checking a project's set-up must hear that it is not there.
    if (!file.document().hasSection("ParaOfGeo")) {
        error = path + " has no section ParaOfGeo";
        return false;
    }
    app::RecordingMessageSink quiet;
    app::Messenger messenger;
    messenger.setSink(&quiet);
    app::Configuration config(platform::currentDirectory(), messenger);
    config.geo.record = record;
    if (!config.loadSection("ParaOfGeo", file.document())) {
        error = "cannot read section ParaOfGeo of " + path;
        return false;
    }
    record = config.geo.record;
    return true;
}

const GeoConfigLoaderRegistration reg{loadParaOfGeo};

} // namespace
} // namespace kestrova::cli
