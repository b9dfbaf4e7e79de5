#pragma once
// Hash index from a 32-bit name key to a pointer. The bucket of a key is key AND mask; each
// bucket is a small array scanned from the front, so the first pair with a key wins.
// The table owns its buckets, not the objects its values point to.

class ZSearchTable {
public:
    explicit ZSearchTable(unsigned long mask = 255);
    ~ZSearchTable();
    ZSearchTable(const ZSearchTable&) = delete;
    ZSearchTable& operator=(const ZSearchTable&) = delete;

    void* Find(unsigned long key) const;
    // True (and nothing changes) when the key is already held with a non-null value.
    bool Add(unsigned long key, void* value);
    // Removes the first pair with the key; the bucket's last pair takes its place.
    void Remove(unsigned long key);

    // Pairs allocated in the bucket of key (for growth checks).
    unsigned short GetCapacity(unsigned long key) const;

private:
    struct Pair {
        unsigned long Key;
        void* Value;
    };
    struct Bucket {
        unsigned short Count;
        unsigned short Capacity;
        Pair* Pairs;
    };

    Bucket& BucketOf(unsigned long key) const { return Buckets[key & Mask]; }
    static void Grow(Bucket& bucket);

    unsigned long Mask;
    Bucket* Buckets;
};
