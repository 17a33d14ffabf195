#include "appointments/FindPanel.h"

#include "platform/Twips.h"
#include "ui/AltKeys.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>

namespace {
constexpr int TypingPauseMs = 400;
} // namespace

FindPanel::FindPanel(QWidget* parent)
    : PagePanel(parent)
{
    setObjectName(QStringLiteral("findPanel"));

    auto* title = new QLabel(QStringLiteral("Find"), this);
    title->setObjectName(QStringLiteral("findTitle"));
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    m_findBox = new QLineEdit(this);
    m_findBox->setObjectName(QStringLiteral("findBox"));
    m_findBox->setClearButtonEnabled(true);
    m_findBox->installEventFilter(this);
    AltKeys::keepOutOf(m_findBox);
    auto* hint = new QLabel(QStringLiteral("Enter opens the day, Esc closes"), this);
    hint->setObjectName(QStringLiteral("findKeysHint"));

    m_resultList = new QListWidget(this);
    m_resultList->setObjectName(QStringLiteral("resultList"));
    // The focus stays in the text box; the keys there move in the list.
    m_resultList->setFocusPolicy(Qt::NoFocus);
    m_resultList->setUniformItemSizes(true);
    m_statusLabel = new QLabel(this);
    m_statusLabel->setObjectName(QStringLiteral("statusLabel"));

    auto* top = new QHBoxLayout;
    top->addWidget(title);
    top->addWidget(m_findBox, 1);
    top->addWidget(hint);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(4);
    layout->addLayout(top);
    layout->addWidget(m_resultList, 1);
    layout->addWidget(m_statusLabel);

    connect(m_findBox, &QLineEdit::textChanged, this, &FindPanel::startFind);
    m_typingPause.setSingleShot(true);
    m_typingPause.setInterval(TypingPauseMs);
    connect(&m_typingPause, &QTimer::timeout, this, &FindPanel::findInEveryDay);
    connect(m_resultList, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        m_resultList->setCurrentItem(item);
        chooseCurrent();
    });
}

FindPanel::~FindPanel() = default;

void FindPanel::openPanel(Database& db, const std::optional<DayRecord>& shownDay)
{
    rememberFocus();
    show();
    raise();
    m_findBox->setFocus();
    m_findBox->selectAll();
    m_db = &db;
    m_shownDay = shownDay;
    startFind();
}

void FindPanel::startFind()
{
    m_typingPause.stop();
    const QString text = m_findBox->text();
    if (!m_db || AppointmentSearch::fold(text).trimmed().isEmpty()) {
        // Nothing typed: nothing listed, and nothing to say about it.
        m_matches.clear();
        m_resultList->clear();
        m_statusLabel->clear();
        return;
    }
    AppointmentSearch::Matches result;
    const Result found = AppointmentSearch::findIn(*m_db, text, result, AppointmentSearch::ShownLimit, m_shownDay);
    if (!found.ok()) {
        m_matches.clear();
        m_resultList->clear();
        m_statusLabel->setText(found.message);
        return;
    }
    showResult(result);
    if (result.more && result.matches.size() < AppointmentSearch::ShownLimit && AppointmentSearch::isShortText(text)) {
        m_statusLabel->setText(QStringLiteral("Looking in every day\u2026"));
        m_typingPause.start();
    }
}

void FindPanel::findInEveryDay()
{
    AppointmentSearch::Matches result;
    const Result found = AppointmentSearch::findIn(*m_db, m_findBox->text(), result, AppointmentSearch::ShownLimit,
        m_shownDay, AppointmentSearch::Reach::EveryDay);
    if (found.ok())
        showResult(result);
    else
        m_statusLabel->setText(found.message);
}

void FindPanel::showResult(const AppointmentSearch::Matches& result)
{
    m_matches = result.matches;
    QStringList lines;
    lines.reserve(m_matches.size());
    for (const AppointmentSearch::Match& m : std::as_const(m_matches))
        lines.append(AppointmentSearch::resultLine(m));
    m_resultList->clear();
    m_resultList->addItems(lines);
    if (!lines.isEmpty())
        m_resultList->setCurrentRow(0);
    if (m_matches.isEmpty())
        m_statusLabel->setText(AppointmentSearch::noneFoundText());
    else if (result.more)
        m_statusLabel->setText(
            QStringLiteral("The first %1 appointments found; type more to narrow them down").arg(m_matches.size()));
    else
        m_statusLabel->clear();
}

void FindPanel::moveCurrent(int steps)
{
    const int count = m_resultList->count();
    if (count == 0)
        return;
    const int row = std::clamp(m_resultList->currentRow() + steps, 0, count - 1);
    m_resultList->setCurrentRow(row);
    m_resultList->scrollToItem(m_resultList->currentItem());
}

void FindPanel::chooseCurrent()
{
    const int row = m_resultList->currentRow();
    if (row < 0 || row >= m_matches.size())
        return;
    const AppointmentSearch::Match match = m_matches[row];
    forgetFocus();
    emit appointmentChosen(match);
    // The receiver has put the focus where the chosen day needs it.
    if (isAncestorOf(QApplication::focusWidget()))
        restoreFocus();
    hide();
}

void FindPanel::closePanel()
{
    m_typingPause.stop();
    restoreFocus();
    hide();
}

bool FindPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_findBox)
        return PagePanel::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress) {
        const int pageSteps
            = std::max(1, m_resultList->viewport()->height() / std::max(1, m_resultList->sizeHintForRow(0)) - 1);
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Up:
            moveCurrent(-1);
            return true;
        case Qt::Key_Down:
            moveCurrent(1);
            return true;
        case Qt::Key_PageUp:
            moveCurrent(-pageSteps);
            return true;
        case Qt::Key_PageDown:
            moveCurrent(pageSteps);
            return true;
        default:
            break;
        }
    }
    return handlePanelKey(event) || PagePanel::eventFilter(watched, event);
}
