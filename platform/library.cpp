#include "platform/library.h"

#include <dlfcn.h>
#include <unistd.h>

#include <utility>
#include <vector>

namespace kestrova::platform {

namespace {

std::string loaderError(const char* fallback) {
    const char* text = dlerror();
    return text ? std::string(text) : std::string(fallback);
}

} // namespace

SharedLibrary::~SharedLibrary() {
    close();
}

SharedLibrary::SharedLibrary(SharedLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), path_(std::move(other.path_)),
      error_(std::move(other.error_)) {}

SharedLibrary& SharedLibrary::operator=(SharedLibrary&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = std::exchange(other.handle_, nullptr);
        path_ = std::move(other.path_);
        error_ = std::move(other.error_);
    }
    return *this;
}

std::string SharedLibrary::executableFolder() {
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) return {};
        if (static_cast<std::size_t>(n) < buffer.size()) {
            std::string path(buffer.data(), static_cast<std::size_t>(n));
            const std::size_t slash = path.rfind('/');
            if (slash == std::string::npos) return {};
            return slash == 0 ? std::string("/") : path.substr(0, slash);
        }
        if (buffer.size() >= (1u << 20)) return {};
        buffer.resize(buffer.size() * 2);
    }
}

bool SharedLibrary::open(const std::string& folder, const std::string& fileName,
                         bool separateCopy) {
    close();
    error_.clear();
    if (fileName.empty()) {
        path_.clear();
        error_ = "no library file name";
        return false;
    }
    // Always a path with a slash, so the loader never searches elsewhere.
    if (folder.empty()) {
        path_ = "./" + fileName;
    } else if (folder.back() == '/') {
        path_ = folder + fileName;
    } else {
        path_ = folder + "/" + fileName;
    }
    dlerror();
    handle_ = separateCopy ? dlmopen(LM_ID_NEWLM, path_.c_str(), RTLD_NOW | RTLD_LOCAL)
                           : dlopen(path_.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        error_ = loaderError("the library cannot be loaded");
        return false;
    }
    return true;
}

bool SharedLibrary::openBesideProgram(const std::string& fileName) {
    const std::string folder = executableFolder();
    if (folder.empty()) {
        close();
        path_ = fileName;
        error_ = "the program folder cannot be found";
        return false;
    }
    return open(folder, fileName);
}

void SharedLibrary::close() {
    if (handle_) {
        dlclose(handle_);
        handle_ = nullptr;
    }
}

void* SharedLibrary::symbol(const char* name) {
    if (!handle_) {
        error_ = "no library is loaded";
        return nullptr;
    }
    if (!name || !*name) {
        error_ = "no symbol name";
        return nullptr;
    }
    dlerror();
    void* address = dlsym(handle_, name);
    if (!address) {
        error_ = loaderError("symbol not found");
        return nullptr;
    }
    return address;
}

} // namespace kestrova::platform
