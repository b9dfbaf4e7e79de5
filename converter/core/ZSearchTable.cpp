#include "converter/core/ZSearchTable.h"

#include "converter/core/ConsoleOutput.h"

#include <cstring>

namespace {
const unsigned MaxBucketPairs = 65535;
}

ZSearchTable::ZSearchTable(unsigned long mask) : Mask(mask), Buckets(new Bucket[mask + 1]()) {}

ZSearchTable::~ZSearchTable()
{
    for (unsigned long i = 0; i <= Mask; ++i)
        delete[] Buckets[i].Pairs;
    delete[] Buckets;
}

void* ZSearchTable::Find(unsigned long key) const
{
    const Bucket& bucket = BucketOf(key);
    for (unsigned i = 0; i < bucket.Count; ++i)
        if (bucket.Pairs[i].Key == key)
            return bucket.Pairs[i].Value;
    return nullptr;
}

bool ZSearchTable::Add(unsigned long key, void* value)
{
    Bucket& bucket = BucketOf(key);
    for (unsigned i = 0; i < bucket.Count; ++i)
        if (bucket.Pairs[i].Key == key && bucket.Pairs[i].Value)
            return true;
    if (bucket.Count == bucket.Capacity)
        Grow(bucket);
    bucket.Pairs[bucket.Count++] = Pair{key, value};
    return false;
}

void ZSearchTable::Remove(unsigned long key)
{
    Bucket& bucket = BucketOf(key);
    for (unsigned i = 0; i < bucket.Count; ++i) {
        if (bucket.Pairs[i].Key == key) {
            bucket.Pairs[i] = bucket.Pairs[--bucket.Count];
            return;
        }
    }
}

unsigned short ZSearchTable::GetCapacity(unsigned long key) const { return BucketOf(key).Capacity; }

// 0 becomes 4, small buckets double, larger ones grow by 32 pairs; a bucket whose count
// would pass what its 16-bit counter holds stops the converter instead of wrapping.
void ZSearchTable::Grow(Bucket& bucket)
{
    if (bucket.Capacity >= MaxBucketPairs)
        vbail("Search table bucket overflow: more than %u names share one bucket\n", MaxBucketPairs);
    unsigned capacity = bucket.Capacity == 0 ? 4 : bucket.Capacity < 32 ? bucket.Capacity * 2u : bucket.Capacity + 32u;
    if (capacity > MaxBucketPairs)
        capacity = MaxBucketPairs;
    Pair* pairs = new Pair[capacity];
    if (bucket.Count)
        memcpy(pairs, bucket.Pairs, bucket.Count * sizeof(Pair));
    delete[] bucket.Pairs;
    bucket.Pairs = pairs;
    bucket.Capacity = static_cast<unsigned short>(capacity);
}
