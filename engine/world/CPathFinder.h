#pragma once
// The level's own path finder when its data names no path-finder object. The section grid
// creates it with the grid and frees it with the grid; the searches are added on top of this.
class CPathFinder {
public:
    CPathFinder();
    ~CPathFinder();

    // Ends the frame's search-time accounting; called once per frame by the section grid.
    void ResetAbilityToPathAgain();

    int GetKeepAlive() const { return KeepAlive; }
    float GetTimeUsed() const { return TimeUsed; }

private:
    // Frames a suspended search survives without being resumed.
    int KeepAlive;
    // Search time spent in this frame.
    float TimeUsed;
};
