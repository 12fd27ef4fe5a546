// The flat address index of participant lists, against a QHash that does the
// same: inserts, removals by address and by object, addresses that change,
// growth and clearing, over small tables where runs of slots wrap around the
// end and removals shift slots back across it.

#include "addressindex.h"

#include <QtTest>

#include <map>
#include <vector>

namespace {

struct Item {
    QString address;
};

struct AddressOf {
    static const QString &of(const Item *item) { return item->address; }
};

using Index = AddressIndex<Item, AddressOf>;

// A small fixed sequence of pseudo-random numbers, the same for every run.
class Steps
{
public:
    uint next(uint below)
    {
        m_state = m_state * 1103515245u + 12345u;
        return (m_state >> 8) % below;
    }

private:
    uint m_state = 2026;
};

} // namespace

class TestAddressIndex : public QObject
{
    Q_OBJECT

private slots:
    void followsAHash_data();
    void followsAHash();
    void emptyAndMissing();
};

void TestAddressIndex::followsAHash_data()
{
    QTest::addColumn<uint>("seed");
    QTest::addColumn<int>("items");
    // Few items keep the table at 16 or 32 slots, where runs wrap often.
    QTest::newRow("few, seed 0") << 0u << 12;
    QTest::newRow("few, seed 1") << 1u << 12;
    QTest::newRow("few, another seed") << 0x9e3779b9u << 12;
    QTest::newRow("many, seed 7") << 7u << 200;
}

void TestAddressIndex::followsAHash()
{
    QFETCH(uint, seed);
    QFETCH(int, items);

    std::vector<Item> pool(static_cast<size_t>(items));
    for (int i = 0; i < items; ++i)
        pool[size_t(i)].address = QStringLiteral("sip:u-%1@d").arg(i);
    Index index(seed);
    // The address each listed item was put under, and the reference.
    std::map<Item *, QString> listedUnder;
    QHash<QString, Item *> reference;
    Steps steps;

    const auto check = [&](int step) {
        QCOMPARE(index.size(), reference.size());
        for (const Item &item : pool) {
            const QString &address = item.address;
            QVERIFY2(index.value(address) == reference.value(address),
                     qPrintable(QStringLiteral("step %1, %2").arg(step).arg(address)));
        }
    };

    for (int step = 0; step < 10 * items; ++step) {
        Item *item = &pool[steps.next(uint(items))];
        const auto listed = listedUnder.find(item);
        switch (steps.next(4)) {
        case 0:
        case 1:
            // Listed under its address (again, or in place of another).
            if (listed != listedUnder.end()) {
                index.remove(listed->second, item);
                reference.remove(listed->second);
            }
            if (Item *other = reference.value(item->address))
                listedUnder.erase(other);
            index.insert(item->address, item);
            reference.insert(item->address, item);
            listedUnder[item] = item->address;
            break;
        case 2:
            // Taken out, by address or by the item and its old address.
            if (listed == listedUnder.end())
                break;
            if (steps.next(2) == 0 && listed->second == item->address)
                index.remove(item->address);
            else
                index.remove(listed->second, item);
            reference.remove(listed->second);
            listedUnder.erase(listed);
            break;
        default:
            // The address changes; the owner moves the item to the new one
            // unless another item holds it.
            if (listed == listedUnder.end() || reference.contains(item->address + QLatin1Char('x')))
                break;
            index.remove(listed->second, item);
            reference.remove(listed->second);
            item->address += QLatin1Char('x');
            index.insert(item->address, item);
            reference.insert(item->address, item);
            listed->second = item->address;
            break;
        }
        check(step);
        if (QTest::currentTestFailed())
            return;
    }
    index.clear();
    reference.clear();
    check(-1);
}

void TestAddressIndex::emptyAndMissing()
{
    Index index;
    Item item{QStringLiteral("sip:u-one@d")};
    QCOMPARE(index.value(item.address), nullptr);
    index.remove(item.address);
    index.remove(item.address, &item);
    index.insert(item.address, nullptr);
    QCOMPARE(index.size(), 0);

    index.insert(item.address, &item);
    QCOMPARE(index.value(item.address), &item);
    QCOMPARE(index.value(QStringLiteral("sip:u-two@d")), nullptr);
    // Removing by an object that is not there leaves the one that is.
    Item other{item.address};
    index.remove(item.address, &other);
    QCOMPARE(index.value(item.address), &item);
    index.remove(item.address, &item);
    QCOMPARE(index.value(item.address), nullptr);
    QCOMPARE(index.size(), 0);
}

QTEST_APPLESS_MAIN(TestAddressIndex)
#include "tst_addressindex.moc"
