#include "ui/AltKeys.h"

#include <QKeyEvent>
#include <QWidget>

namespace {
class AltKeyFilter : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress && AltKeys::isShortcutOnly(static_cast<QKeyEvent*>(event)))
            return true;
        return QObject::eventFilter(watched, event);
    }
};
} // namespace

namespace AltKeys {
bool isShortcutOnly(const QKeyEvent* key)
{
    return !key->text().isEmpty() && (key->modifiers() & (Qt::AltModifier | Qt::MetaModifier));
}

void keepOutOf(QWidget* box)
{
    box->installEventFilter(new AltKeyFilter(box));
}
} // namespace AltKeys
