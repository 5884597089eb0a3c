#include "app/config/interface_text.h"

#include <atomic>
#include <cstdio>
#include <mutex>
#include <set>

namespace kestrova::app {
namespace {

std::atomic<TextLookup> gLookup{nullptr};

// Each missing text is named once, not at every refresh of a status pane.
void reportMissing(const char* chinese) {
    static std::mutex lock;
    static std::set<std::string, std::less<>> named;
    std::lock_guard<std::mutex> guard(lock);
    if (named.insert(chinese).second)
        std::fprintf(stderr, "Kestrova: %s has no English text for \"%s\"\n", kPolyvoxFile,
                     chinese);
}

} // namespace

void bindEnglishTexts(TextLookup lookup) {
    gLookup.store(lookup);
}

bool englishTextsBound() {
    return gLookup.load() != nullptr;
}

const char* englishText(const char* chinese) {
    const TextLookup lookup = gLookup.load();
    return lookup != nullptr && chinese != nullptr ? lookup(chinese) : nullptr;
}

const char* uiText(const char* chinese, bool english) {
    if (!english || chinese == nullptr) return chinese;
    bool ascii = true;
    for (const char* c = chinese; *c != '\0'; ++c)
        if (static_cast<unsigned char>(*c) >= 0x80) ascii = false;
    if (ascii) return chinese;
    if (const char* found = englishText(chinese)) return found;
    reportMissing(chinese);
    return chinese;
}

std::string uiText(const std::string& chinese, bool english) {
    return uiText(chinese.c_str(), english);
}

EnglishTexts::~EnglishTexts() {
    if (bound_) bindEnglishTexts(nullptr);
}

bool EnglishTexts::load(const std::string& folder) {
    const bool opened = folder.empty() ? library_.openBesideProgram(kPolyvoxFile)
                                       : library_.open(folder, kPolyvoxFile);
    if (!opened) return false;
    void* lookup = library_.symbol(kPolyvoxLookup);
    if (lookup == nullptr) return false;
    bindEnglishTexts(reinterpret_cast<TextLookup>(lookup));
    bound_ = true;
    return true;
}

} // namespace kestrova::app
