#include "shell/ReadmeWindow.h"

#include "platform/Twips.h"
#include "store/SettingsStore.h"
#include "ui/WindowHost.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

const QString ReadmeWindow::ToLicence = QStringLiteral("License Agreement");
const QString ReadmeWindow::ToMenu = QStringLiteral("Main Menu");

ReadmeWindow::ReadmeWindow(Database& db, WindowHost& host, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint)
    , m_db(db)
    , m_host(host)
{
    setObjectName(QStringLiteral("readmeWindow"));
    buildControls();

    setFixedSize(Twips::size(8508, 7224));
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    showDocument(QStringLiteral("Readme"), &Settings::readme);
    m_nextButton->setText(ToLicence);
}

void ReadmeWindow::buildControls()
{
    m_nextButton = new QPushButton(this);
    m_nextButton->setObjectName(QStringLiteral("nextButton"));
    m_nextButton->setGeometry(Twips::rect(5520, 6600, 2532, 372));
    connect(m_nextButton, &QPushButton::clicked, this, &ReadmeWindow::showNextDocument);

    m_documentText = new QPlainTextEdit(this);
    m_documentText->setObjectName(QStringLiteral("documentText"));
    m_documentText->setGeometry(Twips::rect(240, 0, 8292, 6468));
    m_documentText->setReadOnly(true);
    m_documentText->setFrameShape(QFrame::NoFrame);
    m_documentText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_documentText->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    QFont serif(QStringLiteral("Times New Roman"));
    serif.setStyleHint(QFont::Serif);
    serif.setPointSize(10);
    serif.setBold(true);
    m_documentText->setFont(serif);

    setTabOrder(m_nextButton, m_documentText);
    m_nextButton->setFocus();
}

void ReadmeWindow::showDocument(const QString& caption, QString Settings::*field)
{
    setWindowTitle(caption);
    // Read afresh each time: another copy of the program may have changed it.
    Settings s;
    QString document;
    if (SettingsStore(m_db).read(s).ok())
        document = s.*field;
    m_documentText->setPlainText(document);
}

void ReadmeWindow::showNextDocument()
{
    if (m_nextButton->text() == ToLicence) {
        showDocument(QStringLiteral("License"), &Settings::licence);
        m_nextButton->setText(ToMenu);
        return;
    }
    m_host.open(Window::Menu);
    m_host.close(Window::Readme);
}

void ReadmeWindow::keyPressEvent(QKeyEvent* e)
{
    // Enter does not press a button outside a dialog by itself; Space does
    // when the button has the focus.
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        m_nextButton->click();
        return;
    }
    QWidget::keyPressEvent(e);
}
