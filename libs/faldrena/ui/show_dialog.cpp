// The library's single export: the program hands a pointer to its geodetic
// record and gets 1 with the record edited when the operator finishes, 0 with
// the record untouched otherwise.

#include "libs/faldrena/ui/faldrena_dialog.h"

#include <QApplication>
#include <QThread>

#include <cstring>

extern "C" __attribute__((visibility("default"))) unsigned char
ShowDialog(_DefGeodetsyParameterSetting* record) {
    using kestrova::faldrena::CSetEllipticalSheet;
    if (record == nullptr) return 0;
    // Windows belong to the interface thread of a running widget application.
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (app == nullptr || QThread::currentThread() != app->thread()) return 0;
    _DefGeodetsyParameterSetting copy;
    std::memcpy(&copy, record, sizeof copy);
    CSetEllipticalSheet sheet(copy, QApplication::activeWindow());
    if (sheet.exec() != QDialog::Accepted) return 0;
    std::memcpy(record, &sheet.result(), sizeof *record);
    return 1;
}
