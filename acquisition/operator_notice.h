#pragma once
// Messages to the operator from the recording and playback code. Each is a pair
// of a Chinese and an English text; the program routes them to its messenger
// (message box in the window, standard error in the command-line tool). The
// acquisition layer only names the texts, it never decides how they are shown.

#include "platform/messages.h"

#include <atomic>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrova::acquisition {

struct NoticeText {
    std::string chinese;
    std::string english;
};

class OperatorNotices {
  public:
    virtual ~OperatorNotices() = default;
    // May be called from the receive, playback or interface thread, never with
    // a file lock held.
    virtual void notify(std::string_view chinese, std::string_view english) = 0;
    void notify(const NoticeText& t) { notify(t.chinese, t.english); }
};

// Keeps every notice (tests, headless runs that print them later).
class NoticeList : public OperatorNotices {
  public:
    using OperatorNotices::notify;
    void notify(std::string_view chinese, std::string_view english) override {
        std::lock_guard<std::mutex> hold(mutex_);
        list_.push_back({std::string(chinese), std::string(english)});
    }
    std::vector<NoticeText> all() const {
        std::lock_guard<std::mutex> hold(mutex_);
        return list_;
    }
    std::vector<std::string> english() const {
        std::lock_guard<std::mutex> hold(mutex_);
        std::vector<std::string> out;
        for (const auto& n : list_)
            out.push_back(n.english);
        return out;
    }
    void clear() {
        std::lock_guard<std::mutex> hold(mutex_);
        list_.clear();
    }

  private:
    mutable std::mutex mutex_;
    std::vector<NoticeText> list_;
};

// Notices raised on a worker thread and shown later on the interface thread:
// a write failure found by the receive thread must not hold that thread while
// the operator reads the message box. Each notice is kept and a message is
// posted to the window (normally the disk page), whose handler calls
// showPending().
class QueuedNotices : public OperatorNotices {
  public:
    static constexpr std::uint32_t WM_SHOW_NOTICE = 0x0487;

    explicit QueuedNotices(platform::MessageQueue& queue) : queue_(queue) {}
    void setWindow(platform::WindowHandle window) { window_.store(window); }
    using OperatorNotices::notify;
    void notify(std::string_view chinese, std::string_view english) override {
        {
            std::lock_guard<std::mutex> hold(mutex_);
            pending_.push_back({std::string(chinese), std::string(english)});
        }
        const platform::WindowHandle w = window_.load();
        if (w != platform::kNoWindow) queue_.post(w, WM_SHOW_NOTICE);
    }
    // Interface thread: every waiting notice, oldest first, to `target`.
    std::size_t showPending(OperatorNotices& target) {
        std::deque<NoticeText> taken;
        {
            std::lock_guard<std::mutex> hold(mutex_);
            taken.swap(pending_);
        }
        for (const auto& n : taken)
            target.notify(n);
        return taken.size();
    }

  private:
    platform::MessageQueue& queue_;
    std::atomic<platform::WindowHandle> window_{platform::kNoWindow};
    std::mutex mutex_;
    std::deque<NoticeText> pending_;
};

// The operator's texts of recording, export and playback.
namespace notice {
inline const NoticeText kDiskBelow2G{"磁盘空间小于2G，请修改工程目录！",
                                     "The disk space is less than 2G. Please modify the "
                                     "project directory!"};
inline const NoticeText kKsfCreateFailed{"创建.ksf文件失败，请检查工程路径和磁盘空间！",
                                         "Failed to create .ksf file. Please check the project "
                                         "path and disk space!"};
inline const NoticeText kXtfCreateFailed{"创建.xtf文件失败，请检查工程路径和磁盘空间！",
                                         "Failed to create .xtf file. Please check the project "
                                         "path and disk space!"};
// A write to the open file failed (full disk, failing drive): the file is
// closed with everything written so far and recording is switched off.
inline const NoticeText kKsfWriteFailed{
    "写入.ksf文件失败（磁盘已满或磁盘故障），原始数据记录已停止，已写入的数据已保存。",
    "Writing the .ksf file failed (disk full or drive fault). Raw recording has been "
    "stopped; the data written so far is kept."};
inline const NoticeText kXtfWriteFailed{
    "写入.xtf文件失败（磁盘已满或磁盘故障），XTF记录已停止，已写入的数据已保存。",
    "Writing the .xtf file failed (disk full or drive fault). XTF recording has been "
    "stopped; the data written so far is kept."};
// The file after a 2 GiB split (or a cut) could not be created.
inline const NoticeText kKsfSplitFailed{
    "无法创建新的.ksf分段文件，原始数据记录已停止，请检查工程路径和磁盘空间！",
    "The next .ksf file could not be created. Raw recording has been stopped; please check "
    "the project path and disk space!"};
inline const NoticeText kXtfSplitFailed{
    "无法创建新的.xtf分段文件，XTF记录已停止，请检查工程路径和磁盘空间！",
    "The next .xtf files could not be created. XTF recording has been stopped; please check "
    "the project path and disk space!"};
inline const NoticeText kKsfOpenFailed{"打开.Ksf文件失败", "Failed to open the .Ksf file"};
inline const NoticeText kKsfNotRecording{"不是正确的.Ksf文件，请检查文件格式",
                                         "It is not the correct .Ksf file. Please check the file "
                                         "format"};
inline const NoticeText kDiskBelow1G{"磁盘空间小于1G，请修改工程目录！",
                                     "The disk space is less than 1G. Please modify the "
                                     "project directory!"};
inline const NoticeText kDiskBelow100M{"磁盘空间小于100M，请修改工程目录！",
                                       "The disk space is less than 100M. Please modify the "
                                       "project directory!"};
inline const NoticeText kDiskBelow100MStopped{
    "磁盘空间小于100M，请修改工程目录！\n 停止存储文件！",
    "The disk space is less than 100M. Please modify the project directory! \n stops storage "
    "files!"};
inline const NoticeText kFileLoaded{"文件加载完成！", "File loading completed!"};

// "he software is temporarily unable to handle '<type>' type of '.ksf' file"
inline NoticeText unknownModel(std::string_view type) {
    std::string t(type);
    return {"软件暂时无法处理'" + t + "'类型的'.ksf'文件",
            "he software is temporarily unable to handle '" + t + "' type of '.ksf' file"};
}
} // namespace notice

} // namespace kestrova::acquisition
