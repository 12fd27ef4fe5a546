#pragma once

#include <QHash>
#include <QString>
#include <QVector>

// AddressIndex: the object listed under each address, for a list that is
// asked by address for every voice update of a busy channel.
//
// A flat table: open addressing with linear probing over a power-of-two array
// of slots, each holding an address's hash and its object. The address itself
// is read from the object (KeyOf::of), so a look-up reads one slot and then
// the object, which its caller reads anyway, where a chained hash would read
// a bucket and then a node of its own first. An object is put under the
// address it has; when that changes, its owner takes it out (by the old
// address's hash and the object, without reading the address) and puts it
// in again. Removal shifts the slots after it back, so the table holds no
// tombstones.
template <typename T, typename KeyOf>
class AddressIndex
{
public:
    // The hashes are seeded (as QHash seeds its own) unless a seed is given.
    explicit AddressIndex(uint seed = uint(qGlobalQHashSeed()))
        : m_seed(seed)
    {
    }

    // The object under key, or null.
    T *value(const QString &key) const
    {
        if (m_count == 0)
            return nullptr;
        return m_slots.at(find(key, qHash(key, m_seed))).object;
    }

    // Puts object, whose address is key, under key in place of the one
    // there, if any.
    void insert(const QString &key, T *object)
    {
        if (!object)
            return;
        // Kept under three quarters full, so that runs of taken slots stay short.
        if ((m_count + 1) * 4 > m_slots.size() * 3)
            grow();
        const uint hash = qHash(key, m_seed);
        Slot &slot = m_slots[find(key, hash)];
        if (!slot.object)
            ++m_count;
        slot.hash = hash;
        slot.object = object;
    }

    // Takes out whatever is under key.
    void remove(const QString &key)
    {
        if (m_count > 0)
            removeAt(find(key, qHash(key, m_seed)));
    }

    // Takes out object if it is under key (the address it was put under).
    void remove(const QString &key, const T *object)
    {
        if (m_count == 0)
            return;
        const uint hash = qHash(key, m_seed);
        const int mask = m_slots.size() - 1;
        for (int at = int(hash & uint(mask)); m_slots.at(at).object; at = (at + 1) & mask) {
            if (m_slots.at(at).object == object) {
                removeAt(at);
                return;
            }
        }
    }

    void clear()
    {
        m_slots.clear();
        m_count = 0;
    }

    int size() const { return m_count; }

private:
    struct Slot {
        uint hash = 0;
        T *object = nullptr;
    };

    // The slot holding key, or the empty slot where it would go. An object
    // is read only for a slot whose hash is the key's.
    int find(const QString &key, uint hash) const
    {
        const int mask = m_slots.size() - 1;
        for (int at = int(hash & uint(mask));; at = (at + 1) & mask) {
            const Slot &slot = m_slots.at(at);
            if (!slot.object || (slot.hash == hash && KeyOf::of(slot.object) == key))
                return at;
        }
    }

    void removeAt(int hole)
    {
        if (!m_slots.at(hole).object)
            return;
        const int mask = m_slots.size() - 1;
        m_slots[hole] = Slot();
        --m_count;
        // Each later slot of the run moves into the hole unless its home
        // lies after the hole, up to the slot itself (cyclically): a look-up
        // from there still reaches it without crossing the hole.
        for (int at = (hole + 1) & mask; m_slots.at(at).object; at = (at + 1) & mask) {
            const int home = int(m_slots.at(at).hash & uint(mask));
            const bool reachable = hole <= at ? (home > hole && home <= at) : (home > hole || home <= at);
            if (reachable)
                continue;
            m_slots[hole] = m_slots.at(at);
            m_slots[at] = Slot();
            hole = at;
        }
    }

    // Twice as many slots, or the first ones. The hashes are kept, so no
    // object is read.
    void grow()
    {
        const QVector<Slot> old = m_slots;
        m_slots = QVector<Slot>(qMax(16, old.size() * 2));
        const int mask = m_slots.size() - 1;
        for (const Slot &slot : old) {
            if (!slot.object)
                continue;
            int at = int(slot.hash & uint(mask));
            while (m_slots.at(at).object)
                at = (at + 1) & mask;
            m_slots[at] = slot;
        }
    }

    QVector<Slot> m_slots;
    int m_count = 0;
    uint m_seed;
};
