#include "shell/SplashWindow.h"

#include "Version.h"
#include "platform/Twips.h"
#include "ui/WindowHost.h"

#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QSvgRenderer>

// The resources live in the static UI library: register them by hand (again
// registering them is harmless).
static void initResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace {
const QString Maker = QStringLiteral("Ledgerly Software");
const QString PublicationYear = QStringLiteral("2024");

QString platformName()
{
#if defined(Q_OS_LINUX)
    const QString os = QStringLiteral("Linux");
#elif defined(Q_OS_MACOS)
    const QString os = QStringLiteral("macOS");
#elif defined(Q_OS_WIN)
    const QString os = QStringLiteral("Windows");
#else
    const QString os = QStringLiteral("Unix");
#endif
    return QStringLiteral("Platform: %1 (Qt %2)").arg(os).arg(QT_VERSION_MAJOR);
}

// The logo drawn as large as the box allows, keeping its proportions.
QPixmap logoPicture(const QSize& box)
{
    QSvgRenderer svg(QStringLiteral(":/ledgerly.svg"));
    const QSize size = svg.defaultSize().scaled(box, Qt::KeepAspectRatio);
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    svg.render(&painter);
    return pixmap;
}

QLabel* text(QWidget* parent, const QString& name, const QString& caption, const QRect& twips, int points, bool italic,
    const QColor& colour, const QString& family = QStringLiteral("Arial"))
{
    auto* l = new QLabel(caption, parent);
    l->setObjectName(name);
    l->setGeometry(Twips::rect(twips.x(), twips.y(), twips.width(), twips.height()));
    QFont f(family);
    f.setPointSize(points);
    f.setBold(true);
    f.setItalic(italic);
    l->setFont(f);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, colour);
    l->setPalette(pal);
    return l;
}
} // namespace

SplashWindow::SplashWindow(WindowHost& host, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
    , m_host(host)
{
    setObjectName(QStringLiteral("splashWindow"));
    setWindowTitle(QStringLiteral(LEDGERLY_TITLE));
    setFocusPolicy(Qt::StrongFocus);
    initResources();
    buildControls();

    setFixedSize(Twips::size(7908, 6684));
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void SplashWindow::buildControls()
{
    m_panel = new QFrame(this);
    m_panel->setObjectName(QStringLiteral("panel"));
    m_panel->setFrameShape(QFrame::Box);
    m_panel->setFrameShadow(QFrame::Sunken);
    m_panel->setGeometry(Twips::rect(55, 60, 7800, 6555));
    m_panel->installEventFilter(this);

    text(m_panel, QStringLiteral("makerLabel"), Maker, QRect(1800, 720, 3660, 555), 18, true, QColor(128, 0, 128));
    text(m_panel, QStringLiteral("presentsLabel"), QStringLiteral("Presents"), QRect(2160, 1320, 1395, 360), 12, true,
        QColor(255, 0, 255));
    text(m_panel, QStringLiteral("titleLabel"), QStringLiteral(LEDGERLY_TITLE), QRect(2640, 1800, 4575, 615), 24, true,
        QColor(64, 0, 64));
    QLabel* audience = text(m_panel, QStringLiteral("audienceLabel"),
        QStringLiteral("for professional practices            and small business offices "),
        QRect(3120, 2640, 4332, 732), 14, false, QColor(0, 128, 0));
    audience->setWordWrap(true);
    audience->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto* logo = new QLabel(m_panel);
    logo->setObjectName(QStringLiteral("logo"));
    logo->setGeometry(Twips::rect(360, 1920, 1815, 3105));
    logo->setAlignment(Qt::AlignCenter);
    logo->setPixmap(logoPicture(logo->size()));

    text(m_panel, QStringLiteral("platformLabel"), platformName(), QRect(3720, 3720, 3540, 384), 12, false, Qt::black);
    text(m_panel, QStringLiteral("versionLabel"), QStringLiteral("Version " LEDGERLY_VERSION),
        QRect(4080, 4200, 3144, 324), 12, false, Qt::black);
    text(m_panel, QStringLiteral("yearLabel"), PublicationYear, QRect(4200, 5040, 1932, 252), 8, false, Qt::black);
    text(m_panel, QStringLiteral("companyLabel"), Maker, QRect(4200, 5280, 1932, 252), 8, false, Qt::black);
}

void SplashWindow::dismiss()
{
    // The menu becomes visible before the splash goes, so that the program
    // never finds itself without a visible window in between.
    m_host.open(Window::Menu);
    m_host.close(Window::Splash);
}

void SplashWindow::keyPressEvent(QKeyEvent* e)
{
    // Keys that type a character, Enter and Esc included; Shift, the function
    // keys and the like do not.
    const bool typed
        = !e->text().isEmpty() || e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter || e->key() == Qt::Key_Escape;
    if (!typed) {
        QWidget::keyPressEvent(e);
        return;
    }
    dismiss();
}

bool SplashWindow::eventFilter(QObject* watched, QEvent* e)
{
    if (watched != m_panel)
        return QWidget::eventFilter(watched, e);
    // The texts and the picture pass their mouse events on to the panel; a
    // click counts only where the panel itself lies, at press and at release.
    if (e->type() == QEvent::MouseButtonPress) {
        const auto* me = static_cast<QMouseEvent*>(e);
        m_pressOnPanel = m_panel->childAt(me->position().toPoint()) == nullptr;
        return true;
    }
    if (e->type() == QEvent::MouseButtonRelease) {
        const auto* me = static_cast<QMouseEvent*>(e);
        const QPoint at = me->position().toPoint();
        const bool click = m_pressOnPanel && me->button() == Qt::LeftButton && m_panel->rect().contains(at)
            && m_panel->childAt(at) == nullptr;
        m_pressOnPanel = false;
        if (click)
            dismiss();
        return true;
    }
    return QWidget::eventFilter(watched, e);
}
