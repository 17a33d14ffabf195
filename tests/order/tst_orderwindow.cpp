#include "TestSupport.h"

#include "order/OrderWindow.h"
#include "platform/Dialogs.h"
#include "platform/PrintJob.h"
#include "shell/Windows.h"
#include "store/Database.h"
#include "store/OrderStore.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

namespace {
const char* const Boxes[] = {"nameEdit", "addressEdit", "cityEdit", "stateEdit", "zipEdit", "countryEdit", "phoneEdit",
    "faxEdit", "contactEdit", "practiceEdit", "orderDateEdit"};

using TestSupport::pdfText;
} // namespace

class TestOrderWindow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestSupport::DataFixture> m_data;
    QPointer<OrderWindow> m_window;

    OrderRecord stored()
    {
        OrderRecord r;
        const Result st = OrderStore(m_data->db()).read(r);
        if (!st.ok())
            qWarning("cannot read the order record: %s", qPrintable(st.message));
        return r;
    }

    QLineEdit* box(const char* name) const { return m_window->findChild<QLineEdit*>(QString::fromLatin1(name)); }
    QPushButton* button(const char* name) const { return m_window->findChild<QPushButton*>(QString::fromLatin1(name)); }
    QWidget* focus() const { return QApplication::focusWidget(); }

    void openWindow()
    {
        m_window = new OrderWindow(m_data->db(), Windows::host());
        m_window->setAttribute(Qt::WA_DeleteOnClose);
        m_window->show();
        QApplication::setActiveWindow(m_window);
        QVERIFY(QTest::qWaitForWindowActive(m_window));
    }

    // Types into whatever has the focus, key by key.
    void type(const QString& text)
    {
        for (QChar c : text)
            QTest::keyClick(focus(), c.toLatin1());
    }

private slots:
    void initTestCase() { PrintJob::setPrinterDisabled(true); }

    void init()
    {
        m_data = std::make_unique<TestSupport::DataFixture>();
        Dialogs::resetRecord();
        openWindow();
    }

    void cleanup()
    {
        delete m_window.data();
        m_data.reset();
    }

    void startsInTheNameBoxWithTheStoredRecord()
    {
        delete m_window.data();
        OrderRecord r;
        r.name = QStringLiteral("STORED NAME");
        r.fax = QStringLiteral("123");
        QVERIFY(OrderStore(m_data->db()).write(r).ok());
        openWindow();
        QCOMPARE(focus(), box("nameEdit"));
        QCOMPARE(box("nameEdit")->text(), QStringLiteral("STORED NAME"));
        QCOMPARE(box("faxEdit")->text(), QStringLiteral("123"));
    }

    void lowerCaseIsTypedAndStoredInCapitals()
    {
        type(QStringLiteral("north clinic"));
        QTest::keyClick(focus(), Qt::Key_Tab);
        type(QStringLiteral("1 high st."));
        QCOMPARE(box("nameEdit")->text(), QStringLiteral("NORTH CLINIC"));
        QCOMPARE(box("addressEdit")->text(), QStringLiteral("1 HIGH ST."));
        QTest::mouseClick(button("saveButton"), Qt::LeftButton);
        QCOMPARE(stored().name, QStringLiteral("NORTH CLINIC"));
        QCOMPARE(stored().address, QStringLiteral("1 HIGH ST."));
    }

    void enterMovesOnInTabOrder()
    {
        for (int i = 1; i < 11; ++i) {
            QTest::keyClick(focus(), Qt::Key_Return);
            QCOMPARE(focus(), box(Boxes[i]));
        }
        // On to the buttons; Enter never presses one.
        const char* buttons[] = {"saveButton", "clearButton", "cancelButton", "printButton", "exitButton"};
        for (const char* name : buttons) {
            QTest::keyClick(focus(), Qt::Key_Enter);
            QCOMPARE(focus(), button(name));
        }
        QVERIFY(m_window->isVisible());
        QVERIFY(!QFile::exists(QDir(m_data->folder()).filePath(QStringLiteral("order-form.pdf"))));
    }

    void arrowKeys_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("to");
        for (int i : {0, 4, 9}) {
            const QString a = QString::fromLatin1(Boxes[i]);
            const QString b = QString::fromLatin1(Boxes[i + 1]);
            QTest::newRow(qPrintable(a + QStringLiteral(" down"))) << a << int(Qt::Key_Down) << b;
            QTest::newRow(qPrintable(b + QStringLiteral(" up"))) << b << int(Qt::Key_Up) << a;
        }
        QTest::newRow("last box down") << "orderDateEdit" << int(Qt::Key_Down) << "saveButton";
        QTest::newRow("first box up") << "nameEdit" << int(Qt::Key_Up) << "nameEdit";
        QTest::newRow("print up") << "printButton" << int(Qt::Key_Up) << "orderDateEdit";
    }

    void arrowKeys()
    {
        QFETCH(QString, from);
        QFETCH(int, key);
        QFETCH(QString, to);
        QWidget* start = m_window->findChild<QWidget*>(from);
        start->setFocus();
        QCOMPARE(focus(), start);
        QTest::keyClick(start, Qt::Key(key));
        QCOMPARE(focus(), m_window->findChild<QWidget*>(to));
    }

    void clearThenExitLeavesAnEmptyRecord()
    {
        OrderRecord r;
        r.name = QStringLiteral("OLD");
        r.orderDate = QStringLiteral("OLD");
        QVERIFY(OrderStore(m_data->db()).write(r).ok());
        delete m_window.data();
        openWindow();
        QCOMPARE(box("orderDateEdit")->text(), QStringLiteral("OLD"));

        button("clearButton")->setFocus();
        QTest::keyClick(button("clearButton"), Qt::Key_Space);
        QCOMPARE(focus(), box("nameEdit"));
        for (const char* name : Boxes)
            QCOMPARE(box(name)->text(), QString());
        QTest::mouseClick(button("exitButton"), Qt::LeftButton);
        QTRY_VERIFY(m_window.isNull());
        QCOMPARE(stored().name, QString());
        QCOMPARE(stored().orderDate, QString());
    }

    void exitDoesNotSave()
    {
        type(QStringLiteral("unsaved"));
        QTest::mouseClick(button("exitButton"), Qt::LeftButton);
        QTRY_VERIFY(m_window.isNull());
        QCOMPARE(stored().name, QString());
    }

    void cancelRestoresTheLastSavedValues()
    {
        type(QStringLiteral("first"));
        QTest::mouseClick(button("saveButton"), Qt::LeftButton);
        box("nameEdit")->setFocus();
        box("nameEdit")->end(false);
        type(QStringLiteral(" second"));
        box("cityEdit")->setFocus();
        type(QStringLiteral("york"));
        QTest::mouseClick(button("cancelButton"), Qt::LeftButton);
        QCOMPARE(box("nameEdit")->text(), QStringLiteral("FIRST"));
        QCOMPARE(box("cityEdit")->text(), QString());
        QCOMPARE(focus(), box("nameEdit"));
    }

    void printSavesFirstAndWritesTheFormInCapitals()
    {
        const QString values[] = {QStringLiteral("north clinic"), QStringLiteral("1 high street"),
            QStringLiteral("leeds"), QStringLiteral("west yorkshire"), QStringLiteral("ls1 1aa"), QStringLiteral("uk"),
            QStringLiteral("0113 000"), QStringLiteral("0113 001"), QStringLiteral("jane smith"),
            QStringLiteral("physio"), QStringLiteral("15 may 2024")};
        for (int i = 0; i < 11; ++i) {
            type(values[i]);
            QTest::keyClick(focus(), Qt::Key_Return);
        }
        QTest::mouseClick(button("printButton"), Qt::LeftButton);

        const OrderRecord r = stored();
        QCOMPARE(r.name, QStringLiteral("NORTH CLINIC"));
        QCOMPARE(r.orderDate, QStringLiteral("15 MAY 2024"));

        const QString pdf = QDir(m_data->folder()).filePath(QStringLiteral("order-form.pdf"));
        QVERIFY(QFile::exists(pdf));
        QCOMPARE(Dialogs::shown().size(), 1);
        QVERIFY(Dialogs::shown().last().text.contains(QDir::toNativeSeparators(pdf)));

        const QString text = pdfText(pdf);
        const char* labels[] = {"Name:", "Address:", "Town/City:", "State/Province:", "Zip/Postcode:", "Country:",
            "Phone:", "Fax:", "Contact Person:", "Practice Field:", "Order Date:"};
        for (int i = 0; i < 11; ++i) {
            const QRegularExpression line(QStringLiteral("^\\s*%1\\s+%2\\s*$")
                                              .arg(QRegularExpression::escape(QString::fromLatin1(labels[i])),
                                                  QRegularExpression::escape(values[i].toUpper())),
                QRegularExpression::MultilineOption);
            QVERIFY2(line.match(text).hasMatch(), qPrintable(labels[i] + QStringLiteral("\n") + text));
        }
        QVERIFY(text.contains(QStringLiteral("Thank you for your order!")));
        QCOMPARE(text.count(QLatin1Char('\f')), 1);
    }

    void printFailureAsksAndYesStartsAgainWithTheSave()
    {
        const QString pdf = QDir(m_data->folder()).filePath(QStringLiteral("order-form.pdf"));
        QVERIFY(QDir().mkpath(pdf));
        type(QStringLiteral("retry"));
        Dialogs::pushAnswer(Dialogs::Yes);
        Dialogs::pushAnswer(Dialogs::No);
        QTest::mouseClick(button("printButton"), Qt::LeftButton);
        QCOMPARE(Dialogs::shown().size(), 2);
        for (const Dialogs::Shown& s : Dialogs::shown()) {
            QVERIFY(s.text.endsWith(QStringLiteral(". Retry?")));
            QVERIFY2(s.text.contains(QDir::toNativeSeparators(pdf)), qPrintable(s.text));
            QCOMPARE(s.buttons, int(Dialogs::Yes | Dialogs::No));
        }
        QCOMPARE(stored().name, QStringLiteral("RETRY"));
        QVERIFY(QFileInfo(pdf).isDir());
    }
};

QTEST_MAIN(TestOrderWindow)
#include "tst_orderwindow.moc"
