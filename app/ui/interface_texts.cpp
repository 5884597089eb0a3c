#include "app/ui/interface_texts.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QTabWidget>
#include <QVariant>
#include <QWidget>

namespace kestrova::app::ui {
namespace {

void setText(QWidget* w, const QString& now, const QString& wanted,
             void (*apply)(QWidget*, const QString&)) {
    if (wanted == now) return;
    if (!w->property("sourceText").isValid()) w->setProperty("sourceText", now);
    apply(w, wanted);
}

bool hasChinese(const QString& text) {
    for (QChar c : text)
        if (c.unicode() >= 0x3400 && c.unicode() <= 0x9FFF) return true;
    return false;
}

} // namespace

QString interfaceText(const QString& text, bool english) {
    if (!english || !hasChinese(text)) return text;
    const QByteArray utf8 = text.toUtf8();
    if (const char* found = englishText(utf8.constData())) return QString::fromUtf8(found);
    // A caption followed by its value: the caption alone, then the value.
    const qsizetype colon = text.indexOf(QChar(0xFF1A));
    if (colon > 0 && colon + 1 < text.size()) {
        const QString caption = text.left(colon + 1);
        const QString value = text.mid(colon + 1).trimmed();
        return interfaceText(caption, true) +
               (hasChinese(value) ? interfaceText(value, true) : value);
    }
    return QString::fromUtf8(uiText(utf8.constData(), true));
}

void speakLanguage(QWidget* root, bool english) {
    QList<QWidget*> widgets = root->findChildren<QWidget*>();
    widgets.push_back(root);
    for (QWidget* w : widgets) {
        if (w->isWindow() && !w->windowTitle().isEmpty())
            w->setWindowTitle(interfaceText(w->windowTitle(), english));
        if (!w->toolTip().isEmpty()) w->setToolTip(interfaceText(w->toolTip(), english));
        if (auto* l = qobject_cast<QLabel*>(w))
            setText(w, l->text(), interfaceText(l->text(), english),
                    [](QWidget* x, const QString& t) { static_cast<QLabel*>(x)->setText(t); });
        else if (auto* b = qobject_cast<QAbstractButton*>(w))
            b->setText(interfaceText(b->text(), english));
        else if (auto* g = qobject_cast<QGroupBox*>(w))
            g->setTitle(interfaceText(g->title(), english));
        else if (auto* c = qobject_cast<QComboBox*>(w))
            for (int i = 0; i < c->count(); ++i)
                c->setItemText(i, interfaceText(c->itemText(i), english));
        else if (auto* t = qobject_cast<QTabWidget*>(w))
            for (int i = 0; i < t->count(); ++i)
                t->setTabText(i, interfaceText(t->tabText(i), english));
    }
}

QString sourceText(const QWidget* widget, const QString& shown) {
    const QVariant source = widget->property("sourceText");
    return source.isValid() ? source.toString() : shown;
}

} // namespace kestrova::app::ui
