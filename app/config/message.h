#pragma once
// Messages to the operator. Every message is a pair of a Chinese and an English
// text; the interface language picks one, the caption is always "Kestrova". Where
// the text goes is up to a sink: a message box in the window, standard error in
// the command-line tool, a list that tests read.

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova::app {

// Message-box flags as the callers pass them (buttons in the low nibble, icon in
// the next one).
namespace mb {
constexpr unsigned kOk = 0x00;
constexpr unsigned kOkCancel = 0x01;
constexpr unsigned kAbortRetryIgnore = 0x02;
constexpr unsigned kYesNoCancel = 0x03;
constexpr unsigned kYesNo = 0x04;
constexpr unsigned kRetryCancel = 0x05;
constexpr unsigned kButtonMask = 0x0F;
constexpr unsigned kIconError = 0x10;
constexpr unsigned kIconQuestion = 0x20;
constexpr unsigned kIconWarning = 0x30;
constexpr unsigned kIconInformation = 0x40;
constexpr unsigned kIconMask = 0xF0;
// Most messages: warning icon with OK and Cancel.
constexpr unsigned kWarningOkCancel = kIconWarning | kOkCancel; // 0x31
} // namespace mb

// Buttons the operator can press; ShowMessage returns one of them.
enum MessageAnswer : int {
    IDOK = 1,
    IDCANCEL = 2,
    IDABORT = 3,
    IDRETRY = 4,
    IDIGNORE = 5,
    IDYES = 6,
    IDNO = 7,
};

constexpr const char* kMessageCaption = "Kestrova";

struct OperatorMessage {
    std::string text;    // in the interface language
    std::string caption; // "Kestrova"
    unsigned flags = 0;
    bool english = false;
};

class MessageSink {
  public:
    virtual ~MessageSink() = default;
    // Shows the message and returns the button pressed.
    virtual int present(const OperatorMessage& message) = 0;
};

// The first button of the flags' button set: what a sink with nobody to ask answers.
int defaultAnswer(unsigned flags);

// Headless: remembers every message and answers with a preset button (or the
// flags' first button).
class RecordingMessageSink : public MessageSink {
  public:
    int present(const OperatorMessage& message) override;
    std::vector<OperatorMessage> messages() const;
    std::size_t count() const;
    void clear();
    // Answer given to every later message; 0 means the flags' first button.
    void setAnswer(int answer);

  private:
    mutable std::mutex mutex_;
    std::vector<OperatorMessage> messages_;
    int answer_ = 0;
};

// Command-line tool: "Kestrova: text" on standard error; answers the first button.
class StderrMessageSink : public MessageSink {
  public:
    int present(const OperatorMessage& message) override;
};

// Routes messages to the current sink in the current language. Safe to call from
// any thread; a sink that shows windows must itself hop to the interface thread.
class Messenger {
  public:
    Messenger(); // starts with the standard-error sink and the Chinese interface
    void setSink(MessageSink* sink); // nullptr restores the standard-error sink
    void setEnglish(bool english);
    bool english() const;
    int ShowMessage(std::string_view chinese, std::string_view english,
                    unsigned flags = mb::kWarningOkCancel);

  private:
    mutable std::mutex mutex_;
    StderrMessageSink stderrSink_;
    MessageSink* sink_;
    bool english_ = false;
};

// The program's messenger, set up at start-up (language, window sink).
Messenger& defaultMessenger();
// ShowMessage through the program's messenger.
int ShowMessage(std::string_view chinese, std::string_view english,
                unsigned flags = mb::kWarningOkCancel);

// The message text with "%s" replaced by `argument` (first occurrence).
std::string withArgument(std::string_view pattern, std::string_view argument);

} // namespace kestrova::app
