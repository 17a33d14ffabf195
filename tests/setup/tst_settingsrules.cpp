#include "setup/SettingsRules.h"

#include <QTest>

using namespace SettingsRules;

Q_DECLARE_METATYPE(SettingsRules::Field)

class TestSettingsRules : public QObject
{
    Q_OBJECT

private slots:
    // The boxes: first hour, minutes, last hour, minutes, slot, count, and the
    // day halves as typed (none: the corrected defaults, AM and PM).
    void check_data()
    {
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<Field>("field");
        auto row = [](const char* name, QStringList boxes, Field field) {
            boxes.resize(8);
            QTest::newRow(name) << boxes << field;
        };
        row("lowest", {"0", "0", "0", "0", "10", "1"}, Field::None);
        row("highest", {"12", "59", "12", "59", "240", "8"}, Field::None);
        row("first hour -1", {"-1", "00", "05", "00", "30", "4"}, Field::HourOpen);
        row("first hour empty", {"", "00", "05", "00", "30", "4"}, Field::HourOpen);
        row("first hour 13", {"13", "00", "05", "00", "30", "4"}, Field::HourOpen);
        row("last hour 13", {"08", "00", "13", "00", "30", "4"}, Field::HourClose);
        row("first minutes 60", {"08", "60", "05", "00", "30", "4"}, Field::MinOpen);
        row("last minutes 60", {"08", "00", "05", "60", "30", "4"}, Field::MinClose);
        row("slot 9", {"08", "00", "05", "00", "9", "4"}, Field::Slot);
        row("slot 241", {"08", "00", "05", "00", "241", "4"}, Field::Slot);
        row("count 0", {"08", "00", "05", "00", "30", "0"}, Field::Count);
        row("count 9", {"08", "00", "05", "00", "30", "9"}, Field::Count);
        row("count beyond 32 bits", {"08", "00", "05", "00", "30", "4294967300"}, Field::Count);
        row("last equal to first", {"08", "00", "08", "00", "30", "4", "AM", "AM"}, Field::None);
        row("last before first", {"08", "00", "07", "59", "30", "4", "AM", "AM"}, Field::HourClose);
        row("last before first by the day half", {"05", "00", "08", "00", "30", "4", "PM", "am"}, Field::HourClose);
    }

    void check()
    {
        QFETCH(QStringList, boxes);
        QFETCH(Field, field);
        const SetupInput in {boxes[0], boxes[1], boxes[2], boxes[3], boxes[4], boxes[5], boxes[6], boxes[7]};
        QCOMPARE(SettingsRules::check(in), field);
        // The refusal says why: a range, or the last appointment before the first.
        QCOMPARE(SettingsRules::refusalText(in).isEmpty(), field == Field::None);
        QCOMPARE(SettingsRules::refusalText(in).contains("earlier"),
            QByteArray(QTest::currentDataTag()).startsWith("last before"));
    }

    void texts()
    {
        // A mistyped day half is AM for the first appointment, PM for the last.
        QCOMPARE(correctAmPm(QStringLiteral(" pm"), true), QStringLiteral("PM"));
        QCOMPARE(correctAmPm(QStringLiteral("P"), true), QStringLiteral("AM"));
        QCOMPARE(correctAmPm(QStringLiteral("A"), false), QStringLiteral("PM"));
        QVERIFY(nameAcceptable(QStringLiteral("Dr Lee")));
        QVERIFY(!nameAcceptable(QStringLiteral("Smith-Jones")));
        // A stored time of another shape is read by its parts, a damaged one by
        // its fixed positions.
        auto parts = [](const char* stored) {
            const TimeParts p = splitTimeText(QString::fromLatin1(stored));
            return QStringList {p.hour, p.minutes, p.ampm};
        };
        QCOMPARE(parts("8:05pm"), (QStringList {"8", "05", "PM"}));
        QCOMPARE(parts("ab:cd ef"), (QStringList {"ab", "cd", "ef"}));
    }
};

QTEST_GUILESS_MAIN(TestSettingsRules)
#include "tst_settingsrules.moc"
