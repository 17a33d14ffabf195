#include "appointments/PagePanel.h"

#include "platform/Twips.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>

namespace {
constexpr int PanelHeightTwips = 3260;
} // namespace

PagePanel::PagePanel(QWidget* parent)
    : QFrame(parent)
{
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(224, 224, 224));
    setPalette(pal);
    hide();
}

void PagePanel::lieOver(QWidget* page)
{
    m_page = page;
    page->installEventFilter(this);
}

bool PagePanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_page && (event->type() == QEvent::Resize || event->type() == QEvent::Move)) {
        const QRect page = m_page->geometry();
        const int height = std::min(page.height(), Twips::toPixels(PanelHeightTwips));
        setGeometry(page.left(), page.bottom() + 1 - height, page.width(), height);
    }
    return QFrame::eventFilter(watched, event);
}

void PagePanel::rememberFocus()
{
    QWidget* focus = QApplication::focusWidget();
    if (focus && focus != this && !isAncestorOf(focus))
        m_returnFocus = focus;
}

void PagePanel::restoreFocus()
{
    QWidget* back = m_returnFocus;
    m_returnFocus = nullptr;
    if (!back || !back->isVisible() || !back->isEnabled())
        back = m_fallbackFocus;
    if (back)
        back->setFocus();
}

bool PagePanel::handlePanelKey(QEvent* event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
        return false;
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (event->type() == QEvent::ShortcutOverride) {
        if (key != Qt::Key_Escape)
            return false;
        event->accept();
        return true;
    }
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        chooseCurrent();
        return true;
    case Qt::Key_Escape:
        closePanel();
        return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return true;
    default:
        return false;
    }
}
