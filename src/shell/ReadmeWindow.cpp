#include "shell/ReadmeWindow.h"

#include "platform/Twips.h"
#include "shell/Windows.h"
#include "store/Database.h"
#include "store/SettingsStore.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

const QString ReadmeWindow::ToLicence = QStringLiteral("License Agreement");
const QString ReadmeWindow::ToMenu = QStringLiteral("Main Menu");

ReadmeWindow::ReadmeWindow(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint)
{
    setObjectName(QStringLiteral("readmeWindow"));
    buildControls();

    setFixedSize(Twips::size(8508, 7224));
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    showDocument(QStringLiteral("Readme"), &Settings::readme);
    m_command1->setText(ToLicence);
}

void ReadmeWindow::buildControls()
{
    m_command1 = new QPushButton(this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command1->setGeometry(Twips::rect(5520, 6600, 2532, 372));
    connect(m_command1, &QPushButton::clicked, this, &ReadmeWindow::Command1_Click);

    m_text1 = new QPlainTextEdit(this);
    m_text1->setObjectName(QStringLiteral("Text1"));
    m_text1->setGeometry(Twips::rect(240, 0, 8292, 6468));
    m_text1->setReadOnly(true);
    m_text1->setFrameShape(QFrame::NoFrame);
    m_text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_text1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    QFont serif(QStringLiteral("Times New Roman"));
    serif.setStyleHint(QFont::Serif);
    serif.setPointSize(10);
    serif.setBold(true);
    m_text1->setFont(serif);

    setTabOrder(m_command1, m_text1);
    m_command1->setFocus();
}

void ReadmeWindow::showDocument(const QString& caption, QString Settings::*field)
{
    setWindowTitle(caption);
    // Read afresh each time: another copy of the program may have changed it.
    Settings s;
    QString document;
    if (Database* db = Database::current(); db && SettingsStore(*db).read(s).ok())
        document = s.*field;
    m_text1->setPlainText(document);
}

void ReadmeWindow::Command1_Click()
{
    if (m_command1->text() == ToLicence) {
        showDocument(QStringLiteral("License"), &Settings::licence);
        m_command1->setText(ToMenu);
        return;
    }
    Windows::open(Window::Menu);
    Windows::close(Window::Readme);
}

void ReadmeWindow::keyPressEvent(QKeyEvent* e)
{
    // Enter does not press a button outside a dialog by itself; Space does
    // when the button has the focus.
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        m_command1->click();
        return;
    }
    QWidget::keyPressEvent(e);
}
