#include "ChunkTestUtil.h"

int WalkChunks(CZRiffFile& riff, int depth, int& budget)
{
    int visited = 0;
    while (budget-- > 0) {
        ZRIFFCKINFO* chunk = riff.Descend(0, 0, true);
        if (chunk == nullptr)
            break;
        ++visited;
        if (chunk->listType != 0 && depth < 8) {
            visited += WalkChunks(riff, depth + 1, budget);
        } else {
            char buffer[64];
            unsigned long code;
            riff.ReadFourCC(&code);
            riff.ReadString(sizeof buffer - 1, buffer);
            while (!riff.Read(buffer, sizeof buffer, true) && riff.Tell() < chunk->size)
                ;
        }
        riff.Ascend();
    }
    return visited;
}
