#include "app/config/message.h"

#include <cstdio>

namespace kestrova::app {

int defaultAnswer(unsigned flags) {
    switch (flags & mb::kButtonMask) {
    case mb::kAbortRetryIgnore:
        return IDABORT;
    case mb::kYesNoCancel:
    case mb::kYesNo:
        return IDYES;
    case mb::kRetryCancel:
        return IDRETRY;
    default:
        return IDOK;
    }
}

int RecordingMessageSink::present(const OperatorMessage& message) {
    std::lock_guard lock(mutex_);
    messages_.push_back(message);
    return answer_ != 0 ? answer_ : defaultAnswer(message.flags);
}

std::vector<OperatorMessage> RecordingMessageSink::messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
}

std::size_t RecordingMessageSink::count() const {
    std::lock_guard lock(mutex_);
    return messages_.size();
}

void RecordingMessageSink::clear() {
    std::lock_guard lock(mutex_);
    messages_.clear();
}

void RecordingMessageSink::setAnswer(int answer) {
    std::lock_guard lock(mutex_);
    answer_ = answer;
}

int StderrMessageSink::present(const OperatorMessage& message) {
    std::fprintf(stderr, "%s: %s\n", message.caption.c_str(), message.text.c_str());
    return defaultAnswer(message.flags);
}

Messenger::Messenger() : sink_(&stderrSink_) {}

void Messenger::setSink(MessageSink* sink) {
    std::lock_guard lock(mutex_);
    sink_ = sink != nullptr ? sink : &stderrSink_;
}

void Messenger::setEnglish(bool english) {
    std::lock_guard lock(mutex_);
    english_ = english;
}

bool Messenger::english() const {
    std::lock_guard lock(mutex_);
    return english_;
}

int Messenger::ShowMessage(std::string_view chinese, std::string_view english, unsigned flags) {
    MessageSink* sink;
    OperatorMessage m;
    {
        std::lock_guard lock(mutex_);
        sink = sink_;
        m.english = english_;
    }
    m.text = std::string(m.english ? english : chinese);
    m.caption = kMessageCaption;
    m.flags = flags;
    // The sink may wait for the operator; the lock is not held meanwhile.
    return sink->present(m);
}

Messenger& defaultMessenger() {
    static Messenger messenger;
    return messenger;
}

int ShowMessage(std::string_view chinese, std::string_view english, unsigned flags) {
    return defaultMessenger().ShowMessage(chinese, english, flags);
}

std::string withArgument(std::string_view pattern, std::string_view argument) {
    std::string out(pattern);
    auto at = out.find("%s");
    if (at != std::string::npos) out.replace(at, 2, argument);
    return out;
}

} // namespace kestrova::app
