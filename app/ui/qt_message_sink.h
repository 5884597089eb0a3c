#pragma once
// Operator messages as Qt message boxes, caption "Kestrova", owned by the main
// window. Callable from any thread: a call from a worker thread waits while the
// interface thread shows the box.

#include "app/config/message.h"

#include <QPointer>
#include <QWidget>

namespace kestrova::app::ui {

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
