#pragma once
// Loading a shared library by file name and finding its entry points by name,
// as the program does with Drovanta and the coordinate settings dialog
// library. Failures carry the loader's own text so the operator's message can
// say what went wrong.

#include <string>

namespace kestrova::platform {

class SharedLibrary {
  public:
    SharedLibrary() = default;
    ~SharedLibrary();
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;
    SharedLibrary(SharedLibrary&& other) noexcept;
    SharedLibrary& operator=(SharedLibrary&& other) noexcept;

    // Folder of the running program (from /proc/self/exe), without a trailing
    // slash; empty when it cannot be read.
    static std::string executableFolder();

    // Loads `fileName` from `folder` (all symbols resolved now, kept local to
    // this handle). Any library already held is released first. With
    // `separateCopy` the library gets a link namespace of its own, so its
    // static data is not shared with a copy loaded the ordinary way.
    bool open(const std::string& folder, const std::string& fileName, bool separateCopy = false);
    // Loads `fileName` from the program folder.
    bool openBesideProgram(const std::string& fileName);
    void close();

    bool isOpen() const { return handle_ != nullptr; }
    // Address of an exported symbol, nullptr (with error() set) when missing.
    void* symbol(const char* name);
    // Full path of the last library opened or tried.
    const std::string& path() const { return path_; }
    // The loader's text for the last failure.
    const std::string& error() const { return error_; }

  private:
    void* handle_ = nullptr;
    std::string path_;
    std::string error_;
};

} // namespace kestrova::platform
