#pragma once
// File-system services the configuration and project code rely on: existence
// checks, the program folder, whole-file reads and crash-safe whole-file writes.
// Paths are UTF-8 byte strings with '/' as separator.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kestrova::platform {

// True when a file or folder exists at `path` (the shell call of the same name).
bool PathFileExistsA(const std::string& path);
bool isDirectory(const std::string& path);

// The folder text with its trailing separators removed and exactly one '/' appended;
// an empty text stays empty.
std::string withTrailingSeparator(std::string folder);
// folder + '/' + name, with exactly one separator between them.
std::string joinPath(std::string_view folder, std::string_view name);

// Folder of the running executable (/proc/self/exe), ending in '/'. Limits files,
// SysCfg.ini and Kestrova.ini live there. Empty if the link cannot be read.
std::string executableFolder();
// Current working directory, ending in '/' (PolyvoxSet.lang is read from it).
std::string currentDirectory();

// Largest file readWholeFile accepts: settings files are a few kilobytes, so
// anything bigger is not one of ours and is refused rather than slurped.
constexpr std::size_t kMaxReadFileBytes = 16u << 20;

struct FileReadResult {
    enum class Status { Ok, Missing, Failed };
    Status status = Status::Failed;
    std::string content;
    std::string error; // why it failed, for the operator message
};
// Reads the whole file. Missing when nothing exists at the path; Failed when it
// exists but is a folder, unreadable or larger than kMaxReadFileBytes.
FileReadResult readWholeFile(const std::string& path);

// Replaces the file's content so that after a crash, power loss or full disk the
// file holds either the old or the new content, never a cut-short mixture: the
// bytes go to a temporary file in the same folder, are flushed to the disk, and
// the temporary file is renamed over the target (then the folder is flushed).
// An existing file keeps its permission bits; a symbolic link is written through
// to its target. On failure the target is untouched, the temporary file removed,
// and `error` (when given) says why.
bool writeFileAtomically(const std::string& path, std::string_view content,
                         std::string* error = nullptr);

} // namespace kestrova::platform
