// Cost per object of one frame's traversal and of creating and destroying objects, for trees
// of 10,000 and 100,000 objects. The cost must grow linearly: the last column compares each
// size's cost per object with the smallest size's, measured in the same run.
#include <stdio.h>

#include <chrono>

#include "engine/object/GObject.h"

class BBusy : public GObject {
    DECLARE_GOBJECT(BBusy, GObject)

    bool Process() override
    {
        ++Work;
        return false;
    }

    static unsigned long Work;
};
IMPLEMENT_GOBJECT(BBusy, 0x00008000)
unsigned long BBusy::Work;

namespace {

const int kFanOut = 4;
const int kFrames = 20;

using Clock = std::chrono::steady_clock;

double NanosecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::nano>(Clock::now() - start).count();
}

// A tree of count objects, each parent holding up to kFanOut children, breadth first.
void BuildTree(int count)
{
    GObject** objects = new GObject*[count];
    for (int i = 0; i < count; ++i) {
        GObject* parent = i == 0 ? nullptr : objects[(i - 1) / kFanOut];
        objects[i] =
            parent != nullptr ? parent->Create(BBusy::ClassId, nullptr) : GObject::Create(BBusy::ClassId, 0, nullptr);
    }
    delete[] objects;
}

double TraversalNsPerObject(int count)
{
    BuildTree(count);
    GObject::ProcessObjects(); // warm the caches once
    const Clock::time_point start = Clock::now();
    for (int frame = 0; frame < kFrames; ++frame)
        GObject::ProcessObjects();
    const double perObject = NanosecondsSince(start) / kFrames / count;
    GObject::DestroyObjects();
    return perObject;
}

double CreateDestroyNsPerObject(int count)
{
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < count; ++i)
        GObject::Create(BBusy::ClassId, 0, nullptr);
    GObject::DestroyObjects();
    return NanosecondsSince(start) / count;
}

} // namespace

int main()
{
    GObject::InitEditableInfo();
    const int sizes[] = {10000, 100000};
    double traversalBase = 0;
    double createBase = 0;
    printf("%-10s %22s %10s %26s %10s\n", "objects", "frame ns/object", "vs 10k", "create+destroy ns/object", "vs 10k");
    for (int count : sizes) {
        const double traversal = TraversalNsPerObject(count);
        const double create = CreateDestroyNsPerObject(count);
        if (traversalBase == 0) {
            traversalBase = traversal;
            createBase = create;
        }
        printf("%-10d %22.1f %10.2f %26.1f %10.2f\n", count, traversal, traversal / traversalBase, create,
               create / createBase);
    }
    return BBusy::Work > 0 ? 0 : 1;
}
