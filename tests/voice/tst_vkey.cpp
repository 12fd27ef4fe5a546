#include "virtualkeyinfo.h"
#include "voicemanager.h"

#include <QtTest>

#include "testenvironment.h"

class TestVirtualKeys : public QObject
{
    Q_OBJECT

private slots:
    void tableHoldsEveryRecordOnceInCodeOrder();
    void recordsByCode_data();
    void recordsByCode();
    void codeByShortName_data();
    void codeByShortName();
};

void TestVirtualKeys::tableHoldsEveryRecordOnceInCodeOrder()
{
    fillVirtualKeyTable();
    QCOMPARE(virtualKeyTable().size(), 126);
    fillVirtualKeyTable();
    QCOMPARE(virtualKeyTable().size(), 126);

    const QVector<VirtualKeyInfo> &records = VirtualKeyInfo::records();
    QCOMPARE(records.size(), 126);
    int previous = 0;
    for (const VirtualKeyInfo &key : records) {
        QVERIFY2(key.code > previous, qPrintable(key.vkName));
        previous = key.code;
        // The table points at the records themselves.
        QCOMPARE(virtualKeyTable().value(key.code), &key);
        QVERIFY(key.vkName.startsWith(QLatin1String("VK_")));
        QVERIFY(!key.shortName.isEmpty());
        QVERIFY(!key.description.isEmpty());
    }
}

void TestVirtualKeys::recordsByCode_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("vkName");
    QTest::addColumn<QString>("shortName");
    QTest::addColumn<QString>("description");

    QTest::newRow("left mouse") << 1 << "VK_LMOUSE"
                                << "LeftMouse"
                                << "Left Mouse Button";
    QTest::newRow("digit 0") << 48 << "VK_0"
                             << "0"
                             << "0 key";
    QTest::newRow("letter Y") << 89 << "VK_Y"
                              << "Y"
                              << "Y key";
    QTest::newRow("keypad 8") << 104 << "VK_NUMPAD8"
                              << "Num 8"
                              << "Num 8 key";
    QTest::newRow("F1") << 112 << "VK_F1"
                        << "F1"
                        << "F1 key";
    QTest::newRow("F24") << 135 << "VK_F24"
                         << "F24"
                         << "F24 key";
    QTest::newRow("left control") << 162 << "VK_LCONTROL"
                                  << "LeftControl"
                                  << "Left CONTROL key";
    QTest::newRow("right alt") << 165 << "VK_RMENU"
                               << "RightAlt"
                               << "Right MENU key (ALT)";
    QTest::newRow("oem plus") << 187 << "VK_OEM_PLUS"
                              << "OEM Plus"
                              << "Keyboard dependent";
    QTest::newRow("zoom") << 251 << "VK_ZOOM"
                          << "Zoom"
                          << "Zoom key";
    // Codes without a record.
    QTest::newRow("generic shift") << 16 << ""
                                   << ""
                                   << "";
    QTest::newRow("generic control") << 17 << ""
                                     << ""
                                     << "";
    QTest::newRow("generic alt") << 18 << ""
                                 << ""
                                 << "";
    QTest::newRow("left windows") << 91 << ""
                                  << ""
                                  << "";
    QTest::newRow("keypad multiply") << 106 << ""
                                     << ""
                                     << "";
    QTest::newRow("keypad add") << 107 << ""
                                << ""
                                << "";
    QTest::newRow("zero") << 0 << ""
                          << ""
                          << "";
}

void TestVirtualKeys::recordsByCode()
{
    QFETCH(int, code);
    QFETCH(QString, vkName);
    QFETCH(QString, shortName);
    QFETCH(QString, description);

    fillVirtualKeyTable();
    const VirtualKeyInfo *key = VirtualKeyInfo::findByCode(code);
    QCOMPARE(virtualKeyTable().value(code), key);
    if (vkName.isEmpty()) {
        QVERIFY(!key);
        return;
    }
    QVERIFY(key);
    QCOMPARE(key->code, code);
    QCOMPARE(key->vkName, vkName);
    QCOMPARE(key->shortName, shortName);
    QCOMPARE(key->description, description);
}

void TestVirtualKeys::codeByShortName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("code");

    QTest::newRow("lower case") << "leftcontrol" << 162;
    QTest::newRow("upper case") << "LEFTCONTROL" << 162;
    QTest::newRow("own case") << "LeftControl" << 162;
    QTest::newRow("not a short name") << "LCtrl" << 0;
    QTest::newRow("vk name is not a short name") << "VK_LCONTROL" << 0;
    QTest::newRow("hyphen") << "Page-up" << 33;
    QTest::newRow("blank") << "Num 0" << 96;
    QTest::newRow("digit") << "7" << 55;
    QTest::newRow("letter lower case") << "q" << 81;
    QTest::newRow("function key") << "f24" << 135;
    QTest::newRow("mouse") << "mouse5" << 6;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("trailing blank") << "Num 0 " << 0;
}

void TestVirtualKeys::codeByShortName()
{
    QFETCH(QString, name);
    QFETCH(int, code);
    QCOMPARE(VirtualKeyInfo::codeByShortName(name), code);
    QCOMPARE(VoiceManager::getVirtualKeyCodeByName(name), code);
}

TAVRI_TEST_GUILESS_MAIN(TestVirtualKeys)
#include "tst_vkey.moc"
