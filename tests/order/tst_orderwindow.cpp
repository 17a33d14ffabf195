#include "Keyboard.h"
#include "TestSupport.h"

#include "order/OrderWindow.h"
#include "order/VendorDetails.h"
#include "platform/PrintJob.h"
#include "shell/Windows.h"
#include "store/OrderStore.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

class TestOrderWindow : public QObject
{
    Q_OBJECT

private slots:
    // Typed from the keyboard, Enter moving on, the form is stored and printed
    // in capitals; Cancel brings back what was saved, Clear empties the record.
    void fillInPrintAndClear()
    {
        PrintJob::setPrinterDisabled(true);
        TestSupport::DataFixture data;
        OrderWindow window(data.db(), Windows::host());
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        const auto click = [&](const char* name) {
            QTest::mouseClick(window.findChild<QPushButton*>(QLatin1String(name)), Qt::LeftButton);
        };
        const auto storedName = [&] {
            OrderRecord r;
            return OrderStore(data.db()).read(r).ok() ? r.name : QStringLiteral("<unreadable>");
        };

        Keyboard::type(QStringLiteral("north clinic"));
        Keyboard::press(Qt::Key_Return);
        Keyboard::type(QStringLiteral("1 high st."));
        click("saveButton");
        auto* city = window.findChild<QLineEdit*>(QStringLiteral("cityEdit"));
        city->setFocus();
        Keyboard::type(QStringLiteral("york"));
        QTest::keyClick(city, Qt::Key_Q, Qt::AltModifier); // never typed
        QCOMPARE(city->text(), QStringLiteral("YORK"));
        click("cancelButton");
        QCOMPARE(city->text(), QString());

        click("printButton");
        QCOMPARE(storedName(), QStringLiteral("NORTH CLINIC"));
        const QString text = TestSupport::pdfText(data.folder() + QStringLiteral("/order-form.pdf"));
        for (const char* line : {"^\\s*Name:\\s+NORTH CLINIC\\s*$", "^\\s*Address:\\s+1 HIGH ST\\.\\s*$"})
            QVERIFY2(
                QRegularExpression(QLatin1String(line), QRegularExpression::MultilineOption).match(text).hasMatch(),
                qPrintable(text));
        QCOMPARE(text.count(QLatin1Char('\f')), 1);
        // The maker's details are filled in from the resources; none is a
        // placeholder for someone to fill in.
        const QString maker = VendorDetails::fromResources().name;
        QVERIFY(
            !maker.isEmpty() && text.contains(QRegularExpression(QStringLiteral("send order form to:\\s+") + maker)));
        for (const char* placeholder : {"\\([a-z ]+\\)", "Street and number", "Town, State"})
            QVERIFY2(!text.contains(QRegularExpression(QLatin1String(placeholder))), qPrintable(text));

        click("clearButton");
        QCOMPARE(storedName(), QString());
    }
};

QTEST_MAIN(TestOrderWindow)
#include "tst_orderwindow.moc"
