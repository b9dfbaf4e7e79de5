// The converter's readers of outside data under seeded damage: scripts (with includes) through
// the whole conversion, compiled grammar images through the parser runtime, compressed streams
// through the decompressor, chunk files through the chunk reader, image files through the
// bitmap loader the texture commands use, LightWave models through the mesh import, and
// LightWave scenes through the skeleton and animation commands.
#include "FuzzHarness.h"

#include "converter/core/CDatabase.h"
#include "converter/core/CRhuParser.h"
#include "converter/core/CTypeDatabase.h"
#include "converter/core/ChParser.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/core/ScriptResource.h"
#include "converter/import2d/CzBitmap.h"
#include "converter/import3d/ClwMesh.h"
#include "core/riff/CZRiffFile.h"
#include "qvrn/ParserInterface.h"
#include "tests/core/ChunkTestUtil.h"
#include "tests/core/KzqTestUtil.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

using namespace mgfuzz;

namespace {

// Words and lines that reach deeper than random bytes: commands, includes (of a file, of
// itself, of a folder), long and odd numbers and texts, block syntax.
const std::vector<std::string> kScriptTokens = {"#include <inc.rhu>",
                                                "#include <main.rhu>",
                                                "#include <fuzzdir.x>",
                                                "#ifdef PCX",
                                                "#else",
                                                "#endif",
                                                "#elif X",
                                                "String S \"x\"",
                                                "String L fuzzdir.x",
                                                "Binary B fuzzdir.x",
                                                "Binary B inc.rhu",
                                                "embedded = Nowhere",
                                                "DefaultParams",
                                                "EmbeddedParams E GFoo { int A = 1 }",
                                                "LayoutParams",
                                                "VeskTemplateParams",
                                                "{",
                                                "}",
                                                "=",
                                                "\"",
                                                "\\n",
                                                "\\",
                                                "char *p = \"t\"",
                                                "int",
                                                "float",
                                                "id",
                                                "zellabel",
                                                "4294967296",
                                                "-2147483649",
                                                "1e999",
                                                "0x7FFFFFFF",
                                                "Trigger Quit ESCAPE",
                                                "LoadZel ..\\..\\outside.zel",
                                                "TypeInfo inc.rhu out.rht",
                                                "NoCompression",
                                                "Diagnostic types data",
                                                "Hack maps",
                                                "LodMap",
                                                "Axis XYZ",
                                                "TranslationFile inc.rhu",
                                                "player = 3",
                                                "Array A int { 1, 2, 3 }",
                                                "[99999]",
                                                "[-1]",
                                                ":",
                                                "Base",
                                                std::string(300, 'A'),
                                                std::string(2000, '\\') + "n"};

std::string SourceFolder() { return MG_SOURCE_DIR; }

std::vector<Bytes> FilesOf(const std::string& folder, const std::string& ending)
{
    std::vector<Bytes> files;
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name.size() > ending.size() && name.compare(name.size() - ending.size(), ending.size(), ending) == 0)
                names.push_back(name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names)
        files.push_back(ReadWholeFile(folder + "/" + name));
    return files;
}

// Scripts, images and models are read in a work folder of their own: the scripts beside an
// include file and a folder named like a file, the models beside the images their clips name.
// Returns the folder, which the driver removes at the end.
std::string PrepareWorkFolder(const std::string& reader, const std::vector<Bytes>& scripts)
{
    char folder[] = "/tmp/mg_fuzz_work_XXXXXX";
    if (!mkdtemp(folder) || chdir(folder) != 0) {
        perror("work folder");
        exit(2);
    }
    mkdir("fuzzdir.x", 0755);
    if (reader == "script")
        WriteWholeFile("inc.rhu", scripts.empty() ? Bytes() : scripts.back());
    if (reader == "scene")
        WriteWholeFile("limb.lwo", ReadWholeFile(std::string(MG_FUZZ_SCENES) + "/limb.lwo"));
    for (const char* image : {"boxuv.png", "uvtest.png", "white.bmp"})
        WriteWholeFile(image, ReadWholeFile(std::string(MG_TESTDATA_DIR) + "/lightwave/lwo2/" + image));
    VerboseLevel = 0;
    CzBitmap::ErrorSwitch = 0;
    LoadTypeResource("RhuTypes");
    return folder;
}

// With the types loaded afresh, as the converter does for every script: a conversion ends by
// emptying the type database, and a refused one leaves it as it stood.
void ConvertScript(const Bytes& script)
{
    TypeDatabase.Reset();
    LoadTypeResource("RhuTypes");
    WriteWholeFile("main.rhu", script);
    CDatabase database;
    CRhuParser parser;
    parser.Run(&database, "main.rhu", "main.zel", {"PCX"}, true);
}

std::vector<Bytes> GrammarImages()
{
    std::vector<Bytes> images;
    for (const char* name : {"RhuParserGrammar", "HParserGrammar"}) {
        std::string image;
        if (LoadResourceBytes(name, GrammarResourceType, image))
            images.push_back(image);
    }
    return images;
}

void ParseWithGrammar(const Bytes& image)
{
    ParserInterface* parser = GetParserInterface();
    if (parser->LoadGrammarImage(image.data(), static_cast<long>(image.size())) &&
        parser->SetInputBuffer("String Greeting \"Hello\"\nstruct A { int B; };\n"))
        parser->RunParse();
    ReleaseParserInterface(parser);
}

std::vector<Bytes> CompressedStreams()
{
    std::string data = SeededBytes(9, 3000) + std::string(3000, 'r') + "GObject GPosRot GPhysical GAttachable";
    data.resize(data.size() & ~size_t(1));
    std::vector<Bytes> streams;
    for (int level = 0; level <= 3; ++level)
        streams.push_back(KzqCompress(data, level, 4096).bytes);
    return streams;
}

void Decompress(const Bytes& stream)
{
    bool ok = true;
    const std::string out = KzqDecompress(stream, 4096, ok, 1 + static_cast<int>(stream.size() % 20000));
    if (out.size() > stream.size() * 256 + 4096)
        abort(); // a token expands 2 bytes to at most 255 words: more is a runaway decoder
}

// Named after the driver, not the child reading the case, so that one file serves the whole run.
std::string ChunkFilePath()
{
    static const std::string path = "/tmp/mg_fuzz_chunk_" + std::to_string(getpid()) + ".bin";
    return path;
}

void ReadChunkFile(const Bytes& bytes)
{
    WriteWholeFile(ChunkFilePath(), bytes);
    for (const char* form : {"ZEL2", "TEST"}) {
        CZRiffFile reader;
        if (reader.Open(ChunkFilePath().c_str(), CZRiffFile::MakeFourCC(form)) == nullptr)
            continue;
        int budget = 100000;
        WalkChunks(reader, 0, budget);
        if (budget <= 0)
            abort(); // a walk that never ends
    }
}

std::vector<Bytes> ImageCorpus()
{
    std::vector<Bytes> images;
    for (const char* ending : {".png", ".bmp", ".tga", ".gif", ".jpg", ".psd"})
        for (Bytes& image : FilesOf(MG_FUZZ_IMAGES, ending))
            images.push_back(image);
    for (const char* ending : {".png", ".bmp"})
        for (Bytes& image : FilesOf(std::string(MG_TESTDATA_DIR) + "/lightwave/lwo2", ending))
            images.push_back(image);
    return images;
}

// As a texture command reads it: the stored size first, then the pixels, which are then
// looked at as the palettizer would.
void LoadImage(const Bytes& bytes)
{
    WriteWholeFile("fuzz.img", bytes);
    CzBitmap bitmap;
    if (bitmap.Load("fuzz.img") == 0 && bitmap.GetWidth() * bitmap.GetHeight() > 0)
        bitmap.AverageColour(true);
}

// The models of the third-party data, with the surface name the import refuses ("Default")
// renamed, so that damage reaches past the surfaces into the geometry.
std::vector<Bytes> ModelCorpus()
{
    std::vector<Bytes> models;
    for (Bytes& model : FilesOf(std::string(MG_TESTDATA_DIR) + "/lightwave/lwo2", ".lwo")) {
        const Bytes from("Default\0", 8), to("Surface\0", 8);
        for (size_t at = model.find(from); at != Bytes::npos; at = model.find(from, at + 8))
            model.replace(at, 8, to);
        models.push_back(model);
    }
    return models;
}

// Words of the scene format that reach the object tree, the envelopes and the name rules.
const std::vector<std::string> kSceneTokens = {"LWSC",
                                               "3",
                                               "AddNullObject root_0_30",
                                               "AddNullObject attach_x",
                                               "AddNullObject trigger_SOUND_2",
                                               "AddNullObject event_9_-1",
                                               "AddNullObject movetrigger_Go_3",
                                               "LoadObjectLayer 1 limb.lwo",
                                               "LoadObjectLayer 1 missing.lwo",
                                               "ParentItem 10000000",
                                               "ParentItem 10000005",
                                               "ParentItem 1FFFFFFF",
                                               "NumChannels 9",
                                               "NumChannels 99",
                                               "Channel 8",
                                               "Channel 99",
                                               "{ Envelope",
                                               "}",
                                               "Key 1 0 0 0 0 0 0 0 0",
                                               "Key 1 0.5 4 0 0 0 0 0 0",
                                               "Behaviors 3 4",
                                               "FirstFrame 40",
                                               "LastFrame 5000",
                                               "FramesPerSecond 0",
                                               "FrameStep 0",
                                               "ObjectDissolve 2",
                                               "1e999",
                                               "-1",
                                               std::string(300, 'A')};

// A scene whose object line is replaced by a root null above the box the work folder holds,
// so that the skeleton command takes its tree and reaches its envelopes.
Bytes Rooted(Bytes scene)
{
    const size_t at = scene.find("LoadObjectLayer ");
    if (at == Bytes::npos)
        return scene;
    const size_t end = scene.find('\n', at);
    scene.replace(at, end == Bytes::npos ? Bytes::npos : end - at,
                  "AddNullObject root_1_60\nLoadObjectLayer 1 limb.lwo\nParentItem 10000000");
    return scene;
}

// The third-party scenes, each also rooted. The newer version's refusal at the header needs no
// fuzzing: its files are relabelled as the version read, so that their bodies reach the reader.
void AddThirdPartyScenes(std::vector<Bytes>& scenes)
{
    for (Bytes& scene : FilesOf(std::string(MG_TESTDATA_DIR) + "/lightwave/lws", ".lws")) {
        if (scene.compare(0, 7, "LWSC\n5\n") == 0)
            scene[5] = '3';
        scenes.push_back(scene);
        Bytes rooted = Rooted(scene);
        if (rooted != scene)
            scenes.push_back(rooted);
    }
}

// Scenes the project generates: the demo's figure, and the same figure with linear and stepped
// spans in place of its curves; then the third-party scenes.
std::vector<Bytes> SceneCorpus()
{
    std::vector<Bytes> scenes;
    const Bytes figure = ReadWholeFile(std::string(MG_FUZZ_SCENES) + "/figure.lws");
    if (figure.empty())
        return scenes;
    scenes.push_back(figure);
    // Each key's span type is its third word: linear and stepped in turn.
    Bytes varied = figure;
    int keys = 0;
    for (size_t at = varied.find("Key "); at != Bytes::npos; at = varied.find("Key ", at + 4)) {
        const size_t value = varied.find(' ', at + 4), time = varied.find(' ', value + 1);
        if (time != Bytes::npos && time + 1 < varied.size())
            varied[time + 1] = keys++ % 2 ? '4' : '3';
    }
    scenes.push_back(varied);
    AddThirdPartyScenes(scenes);
    return scenes;
}

// As the skeleton command reads it: the tree, the meshes it names, and its default animation.
void ConvertScene(const Bytes& scene)
{
    WriteWholeFile("fuzz.lws", scene);
    ConvertScript("NoCompression\nSkeleton Fuzz fuzz.lws\n");
}

void ImportModel(const Bytes& bytes)
{
    WriteWholeFile("fuzz.lwo", bytes);
    CDatabase database;
    ClwMesh* mesh = new ClwMesh("m_fuzz", &database);
    mesh->Load("fuzz.lwo", 1, nullptr, 0);
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<Reader> readers;
    Reader scripts;
    scripts.Name = "script";
    scripts.Corpus = FilesOf(SourceFolder() + "/data", ".rhu");
    for (Bytes& script : FilesOf(SourceFolder() + "/tests/engine/zel/wexlorn", ".rhu"))
        scripts.Corpus.push_back(script);
    scripts.Corpus.push_back("String A \"a\"\n#include <inc.rhu>\nEmbeddedParams K GKid { int S = 1 }\n"
                             "DefaultParams Base GFoo : Base { embedded = K char *t = \"x\\n\" }\n");
    scripts.MayEndProcess = true;
    scripts.Mutate = [](const Bytes& b, unsigned long long s) { return MutateText(b, s, kScriptTokens); };
    scripts.Read = ConvertScript;
    readers.push_back(scripts);

    Reader grammars{"grammar", GrammarImages(), false, MutateBinary, ParseWithGrammar};
    readers.push_back(grammars);
    Reader compressed{"compressed", CompressedStreams(), false, MutateBinary, Decompress};
    readers.push_back(compressed);

    Reader chunks{"chunk", {}, false, MutateBinary, ReadChunkFile};
    for (Bytes& file : FilesOf(MG_ZEL_FIXTURES, ".zel"))
        chunks.Corpus.push_back(file);
    readers.push_back(chunks);

    // Images are refused through the bitmap's error result; a damaged model ends the conversion
    // with its fatal error, which names the file and the place.
    readers.push_back({"image", ImageCorpus(), false, MutateBinary, LoadImage});
    readers.push_back({"model", ModelCorpus(), true, MutateBinary, ImportModel});
    readers.push_back({"scene", SceneCorpus(), true,
                       [](const Bytes& b, unsigned long long s) { return MutateText(b, s, kSceneTokens); },
                       ConvertScene});

    const std::string reader = argc > 1 ? argv[1] : "";
    // The findings folder is named before the work folder becomes the current one.
    std::string findings;
    if (argc > 4) {
        findings = std::filesystem::absolute(argv[4]).string();
        argv[4] = findings.data();
    }
    std::string workFolder;
    if (reader == "script" || reader == "image" || reader == "model" || reader == "scene")
        workFolder = PrepareWorkFolder(reader, readers[0].Corpus);
    const std::string chunkFile = ChunkFilePath();
    const int result = Main(argc, argv, readers);
    unlink(chunkFile.c_str());
    if (!workFolder.empty())
        std::filesystem::remove_all(workFolder);
    return result;
}
