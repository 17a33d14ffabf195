#include "core/DayLayout.h"
#include "setup/SettingsRules.h"

#include <QTest>
#include <limits>

using namespace SettingsRules;

Q_DECLARE_METATYPE(SettingsRules::Field)

class TestSettingsRules : public QObject
{
    Q_OBJECT

private slots:
    void splitTimeText_data();
    void splitTimeText();
    void composeNames_data();
    void composeNames();
    void leadingNumber_data();
    void leadingNumber();
    void check_data();
    void check();
    void nameAcceptable_data();
    void nameAcceptable();
};

void TestSettingsRules::splitTimeText_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QStringList>("parts");
    QTest::newRow("08:30 AM") << "08:30 AM" << QStringList {"08", "30", "AM"};
    QTest::newRow("no blank before PM") << "05:00PM" << QStringList {"05", "00", "PM"};
    QTest::newRow("one-digit hour not shifted") << "8:00 AM" << QStringList {"8", "00", "AM"};
    QTest::newRow("lower case half") << "08:00 pm" << QStringList {"08", "00", "PM"};
    QTest::newRow("no half") << "08:00" << QStringList {"08", "00", ""};
    QTest::newRow("empty") << "" << QStringList {"", "", ""};
    QTest::newRow("unreadable, by position") << "ab:cd ef" << QStringList {"ab", "cd", "ef"};
    QTest::newRow("longer text, by position") << "08:00 AM extra" << QStringList {"08", "00", "AM"};
}

void TestSettingsRules::splitTimeText()
{
    QFETCH(QString, stored);
    QFETCH(QStringList, parts);
    const TimeParts split = SettingsRules::splitTimeText(stored);
    QCOMPARE((QStringList {split.hour, split.minutes, split.ampm}), parts);
}

void TestSettingsRules::composeNames_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("text");
    QTest::newRow("two") << QStringList {"Dr Lee", "Dr Kim"} << " Dr Lee -  Dr Kim - ";
    QTest::newRow("none") << QStringList {} << "";
    QTest::newRow("an empty name") << QStringList {"Dr Lee", ""} << " Dr Lee -   - ";
}

void TestSettingsRules::composeNames()
{
    QFETCH(QStringList, names);
    QFETCH(QString, text);
    QCOMPARE(SettingsRules::composeNames(names), text);
}

void TestSettingsRules::leadingNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("number");
    constexpr int max = std::numeric_limits<int>::max();
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("letters") << "abc" << 0;
    QTest::newRow("digits") << "240" << 240;
    QTest::newRow("trailing letters") << "12abc" << 12;
    QTest::newRow("leading blanks") << "  7" << 7;
    QTest::newRow("negative") << "-5" << -5;
    QTest::newRow("just past int max") << "2147483648" << max;
    QTest::newRow("huge negative") << "-99999999999999999999999" << std::numeric_limits<int>::min();
    QTest::newRow("wraps to 4 when truncated to 32 bits") << "4294967300" << max;
}

void TestSettingsRules::leadingNumber()
{
    QFETCH(QString, text);
    QFETCH(int, number);
    QCOMPARE(SettingsRules::leadingNumber(text), number);
}

void TestSettingsRules::check_data()
{
    QTest::addColumn<QString>("hourOpen");
    QTest::addColumn<QString>("minOpen");
    QTest::addColumn<QString>("hourClose");
    QTest::addColumn<QString>("minClose");
    QTest::addColumn<QString>("slot");
    QTest::addColumn<QString>("count");
    QTest::addColumn<QString>("ampmOpen");
    QTest::addColumn<QString>("ampmClose");
    QTest::addColumn<Field>("field");

    auto row = [](const char* name, QStringList v, Field f) {
        v << QString() << QString();
        QTest::newRow(name) << v[0] << v[1] << v[2] << v[3] << v[4] << v[5] << v[6] << v[7] << f;
    };
    row("defaults", {"08", "00", "05", "00", "30", "4"}, Field::None);
    row("hour 12, minutes 59", {"12", "59", "12", "59", "30", "4"}, Field::None);
    row("hour 0, minutes 0", {"0", "0", "00", "00", "30", "4"}, Field::None);
    row("one-digit values", {"8", "5", "5", "0", "30", "4"}, Field::None);
    row("open hour 13", {"13", "00", "05", "00", "30", "4"}, Field::HourOpen);
    row("close hour 13", {"08", "00", "13", "00", "30", "4"}, Field::HourClose);
    row("open minutes 60", {"08", "60", "05", "00", "30", "4"}, Field::MinOpen);
    row("close minutes 60", {"08", "00", "05", "60", "30", "4"}, Field::MinClose);
    row("negative hour", {"-1", "00", "05", "00", "30", "4"}, Field::HourOpen);
    row("slot 10", {"08", "00", "05", "00", "10", "4"}, Field::None);
    row("slot 240", {"08", "00", "05", "00", "240", "4"}, Field::None);
    row("slot 9", {"08", "00", "05", "00", "9", "4"}, Field::Slot);
    row("slot 241", {"08", "00", "05", "00", "241", "4"}, Field::Slot);
    row("slot empty", {"08", "00", "05", "00", "", "4"}, Field::Slot);
    row("count 1", {"08", "00", "05", "00", "30", "1"}, Field::None);
    row("count 8", {"08", "00", "05", "00", "30", "8"}, Field::None);
    row("count 0", {"08", "00", "05", "00", "30", "0"}, Field::Count);
    row("count 9", {"08", "00", "05", "00", "30", "9"}, Field::Count);
    row("count empty", {"08", "00", "05", "00", "30", ""}, Field::Count);
    row("count beyond 32 bits", {"08", "00", "05", "00", "30", "4294967300"}, Field::Count);
    row("open hour empty", {"", "00", "05", "00", "30", "4"}, Field::HourOpen);
    row("open minutes empty", {"08", "", "05", "00", "30", "4"}, Field::MinOpen);
    row("close hour empty", {"08", "00", "", "00", "30", "4"}, Field::HourClose);
    row("close minutes empty", {"08", "00", "05", "", "30", "4"}, Field::MinClose);
    row("open hour not a number", {"ab", "00", "05", "00", "30", "4"}, Field::HourOpen);
    // Several bad boxes: the first in check order wins; the closing hour comes
    // before the opening minutes.
    row("close hour before open minutes", {"08", "60", "13", "00", "30", "4"}, Field::HourClose);
    row("open minutes before close minutes", {"08", "60", "05", "60", "30", "4"}, Field::MinOpen);
    row("close minutes before slot", {"08", "00", "05", "60", "9", "4"}, Field::MinClose);
    row("slot before count", {"08", "00", "05", "00", "9", "9"}, Field::Slot);
    row("everything bad", {"", "", "", "", "", ""}, Field::HourOpen);
    // A last appointment before the first would leave every day one row long.
    row("last before first", {"08", "00", "07", "59", "30", "4", "AM", "AM"}, Field::HourClose);
    row("last before first by the day half", {"05", "00", "08", "00", "30", "4", "PM", "AM"}, Field::HourClose);
    row("last equal to first", {"08", "00", "08", "00", "30", "4", "AM", "AM"}, Field::None);
    row("noon is after the morning", {"11", "30", "12", "00", "30", "4", "AM", "PM"}, Field::None);
}

void TestSettingsRules::check()
{
    QFETCH(QString, hourOpen);
    QFETCH(QString, minOpen);
    QFETCH(QString, hourClose);
    QFETCH(QString, minClose);
    QFETCH(QString, slot);
    QFETCH(QString, count);
    QFETCH(QString, ampmOpen);
    QFETCH(QString, ampmClose);
    QFETCH(Field, field);
    const SetupInput input {hourOpen, minOpen, hourClose, minClose, slot, count, ampmOpen, ampmClose};
    QCOMPARE(SettingsRules::check(input), field);
}

void TestSettingsRules::nameAcceptable_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("ok");
    QTest::newRow("plain") << "Dr Lee" << true;
    QTest::newRow("empty") << "" << true;
    QTest::newRow("double-barrelled") << "Smith-Jones" << false;
    QTest::newRow("hyphen only") << "-" << false;
}

void TestSettingsRules::nameAcceptable()
{
    QFETCH(QString, name);
    QFETCH(bool, ok);
    QCOMPARE(SettingsRules::nameAcceptable(name), ok);
}

QTEST_GUILESS_MAIN(TestSettingsRules)
#include "tst_settingsrules.moc"
