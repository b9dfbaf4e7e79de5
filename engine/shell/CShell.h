#pragma once
// The engine's single top-level object and the host's entry point: it owns the game window,
// the master packed file, the current level file and the requests to change level, load a
// game or quit, and runs the main loop.
#include <windows.h>

class CZelFile;

class CShell {
public:
    CShell(HINSTANCE instance, int, int);
    ~CShell();

    void MainLoop();
    void Quit();
    static void SetNextLevel(const char* name);
    // Returns true when the save failed.
    bool SaveGame(const char* profile, const char* description, int slot, int flags);
    bool LoadGame(int slot);
    static void SetSplashScreen(const char* name);
    static void LoadSplashScreen(const char* name);
    static void DelayMasterLoad(bool delay);
    static int GetFrameNum();
    static const char* GetCurrentLevel();

    static CShell* pThe;

    enum Requests : DWORD { RequestLevel = 1, RequestLoadGame = 2, RequestQuit = 4 };

private:
    // A saved game names its level; the profile manager loads it before the saved objects.
    friend class CProfile;

    static const int kNameLength = 260;

    bool ShellLoadLevel(const char* name);
    HWND Construct(HINSTANCE instance, int, int);
    void Destruct() {}
    bool ProcessOSUpdates();
    void ActOnRequests();
    void LoadSavedGame();
    void SampleHeap();
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    char LevelName[kNameLength];
    int SaveSlot;
    char SplashName[kNameLength];
    int FrameNum;
    DWORD RequestFlags;
    CZelFile* pLevelFile;
    bool bLevelsLoaded;
    CZelFile* pMasterFile;
    bool bDelayMasterLoad;

    static float HeapSampleTimer;
};
