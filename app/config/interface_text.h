#pragma once
// The window's texts are written once, in Chinese (the interface built into
// the program). In the English interface each is looked up in Polyvox, the
// English resource library, whose lookup is bound once at start-up while the
// library stays loaded. A text Polyvox lacks shows in Chinese and is named
// once on standard error, so a gap is seen rather than hidden.

#include "platform/library.h"

#include <string>

namespace kestrova::app {

// Polyvox's exported lookup: the English text for a Chinese one, or nullptr.
using TextLookup = const char* (*)(const char* chinese);

constexpr const char* kPolyvoxFile = "libPolyvox.so";
constexpr const char* kPolyvoxLookup = "polyvox_text";

// The English lookup for every window (nullptr: none bound).
void bindEnglishTexts(TextLookup lookup);
bool englishTextsBound();

// `chinese` in the Chinese interface; in the English one Polyvox's text for
// it. Texts of plain ASCII (units, "CW", "GGA+ZDA") are the same in both.
const char* uiText(const char* chinese, bool english);
std::string uiText(const std::string& chinese, bool english);
// Polyvox's English text for `chinese`, nullptr when it has none (not reported).
const char* englishText(const char* chinese);

// Polyvox loaded from a folder with its lookup bound for as long as this lives.
class EnglishTexts {
  public:
    EnglishTexts() = default;
    ~EnglishTexts();
    EnglishTexts(const EnglishTexts&) = delete;
    EnglishTexts& operator=(const EnglishTexts&) = delete;

    // From `folder`, or from the program folder when it is empty. False when
    // the library or its lookup is missing.
    bool load(const std::string& folder = {});
    const std::string& error() const { return library_.error(); }

  private:
    platform::SharedLibrary library_;
    bool bound_ = false;
};

} // namespace kestrova::app
