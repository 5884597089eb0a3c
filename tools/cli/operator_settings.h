#pragma once
// The operator's settings for the commands that work on recordings: --config
// (a SysCfg.ini, or the folder holding one; a SonarSetPara section in it is
// read too) and --project (the project's configuration file, read as opening
// the project reads it, after --config).

#include "app/config/configuration.h"

#include <optional>
#include <string>

namespace kestrova::cli {

bool readableFile(const std::string& path);
// False (with the reason on standard error) when one cannot be read.
bool loadOperatorSettings(app::Configuration& config, const std::optional<std::string>& configArg,
                          const std::optional<std::string>& projectArg);

} // namespace kestrova::cli
