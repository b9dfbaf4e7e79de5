#pragma once
// A game folder for render tests: the working folder is its "run" folder, so the data folder's
// parent (where the configuration files are read and screenshots written) is the game folder.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

class ScopedGameFolder {
public:
    explicit ScopedGameFolder(const std::string& name,
                              const std::string& renderCfg = "width: 640\nheight: 480\nwindowed:\n",
                              const std::string& overridesCfg = "")
        : Folder(std::filesystem::temp_directory_path() / (name + "_" + std::to_string(getpid()))),
          Previous(std::filesystem::current_path())
    {
        // Process ids come round again: a folder a killed earlier run left under this name must
        // not lend its files to this one.
        std::error_code ignored;
        std::filesystem::remove_all(Folder, ignored);
        std::filesystem::create_directories(Folder / "run");
        if (!renderCfg.empty())
            std::ofstream(Folder / "render.cfg") << renderCfg;
        if (!overridesCfg.empty())
            std::ofstream(Folder / "overrides.cfg") << overridesCfg;
        std::filesystem::current_path(Folder / "run");
    }
    ~ScopedGameFolder()
    {
        std::filesystem::current_path(Previous);
        std::error_code ignored;
        std::filesystem::remove_all(Folder, ignored);
    }
    std::filesystem::path Shot(int number) const
    {
        char name[32];
        std::snprintf(name, sizeof name, "PCX_Cap_%06d.tga", number);
        return Folder / name;
    }
    const std::filesystem::path Folder;

private:
    const std::filesystem::path Previous;
};

// Pixels of a screenshot through the Python reader: "W H" then "x,y=RRGGBB" per point.
std::string ReadShotPixels(const std::filesystem::path& file, const std::string& points);
