#pragma once
// Operator messages as Qt message boxes, caption "Kestrova", owned by the main
// window. Callable from any thread: a call from a worker thread waits while the
// interface thread shows the box.

#include "app/config/message.h"

#include <QPointer>
#include <QWidget>

class QTranslator;

namespace kestrova::app::ui {

// Qt's own texts in Chinese (the file dialog, the standard buttons): Qt's
// qtbase_zh_CN translation from Qt's translations folder. False when it is not
// installed; the program then runs on with Qt's English words there.
bool loadQtChinese(QTranslator& translator);

class QtMessageSink : public MessageSink {
  public:
    // The owner window; none until the main window exists.
    void setOwner(QWidget* owner) { owner_ = owner; }
    int present(const OperatorMessage& message) override;

  private:
    int showOnInterfaceThread(const OperatorMessage& message);
    QPointer<QWidget> owner_;
};

} // namespace kestrova::app::ui
