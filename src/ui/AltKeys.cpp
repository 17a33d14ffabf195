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
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (!key->text().isEmpty() && (key->modifiers() & (Qt::AltModifier | Qt::MetaModifier)))
                return true;
        }
        return QObject::eventFilter(watched, event);
    }
};
} // namespace

void AltKeys::keepOutOf(QWidget* box)
{
    box->installEventFilter(new AltKeyFilter(box));
}
