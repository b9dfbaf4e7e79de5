// The pximg front end on files Pillow writes and reads back.
#include "PxTestSupport.h"

using namespace pxtest;

namespace {

mgtest::CommandResult Pximg(const std::string& arguments)
{
    return mgtest::RunCommand(std::string(MG_BINARY_DIR) + "/bin/pximg " + arguments + " 2>&1");
}

mgtest::CommandResult Python(const std::string& code)
{
    return mgtest::RunCommand("/usr/bin/python3 -c \"" + code + "\" 2>&1");
}

} // namespace

TEST(PximgTool, InvertsWhatPillowWroteAndPillowReadsItBack)
{
    for (const char* mode : {"L", "RGB", "RGBA"}) {
        TempFile in(".png"), out(".png");
        const std::string make = "import numpy as np; from PIL import Image; "
                                 "a = np.random.default_rng(3).integers(0, 256, (21, 34, " +
                                 std::to_string(std::string(mode) == "L" ? 1 : std::string(mode).size()) +
                                 "), dtype=np.uint8); Image.fromarray(a.squeeze(), '" + mode + "').save('" + in.path +
                                 "')";
        ASSERT_EQ(Python(make).exitCode, 0) << mode;
        const mgtest::CommandResult run = Pximg(in.path + " " + out.path + " P_InvertBitmap");
        ASSERT_EQ(run.exitCode, 0) << run.output;
        // The fourth byte is not a colour: alpha comes through unchanged. A grey image inverts
        // its palette, so it comes back as a colour file of the same greys.
        const std::string check = "import numpy as np; from PIL import Image; "
                                  "a = np.array(Image.open('" +
                                  in.path +
                                  "')).astype(int); "
                                  "b = np.array(Image.open('" +
                                  out.path + "').convert('" + mode +
                                  "')).astype(int); "
                                  "e = 255 - a; e[..., 3:] = a[..., 3:] if a.ndim == 3 else e[..., 3:]; "
                                  "print('ok' if (b == e).all() else 'differs')";
        EXPECT_EQ(Python(check).output, "ok\n") << mode;
    }
}

TEST(PximgTool, BadInputIsReportedWithTheFileName)
{
    const mgtest::CommandResult missing = Pximg("/nonexistent/in.png /tmp/out.png P_InvertBitmap");
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.output.find("/nonexistent/in.png"), std::string::npos) << missing.output;

    TempFile garbage(".png");
    FILE* file = std::fopen(garbage.path.c_str(), "wb");
    std::fputs("\x89PNG\r\n\x1a\n not really", file);
    std::fclose(file);
    const mgtest::CommandResult damaged = Pximg(garbage.path + " /tmp/out.png P_InvertBitmap");
    EXPECT_EQ(damaged.exitCode, 1);
    EXPECT_NE(damaged.output.find(garbage.path), std::string::npos) << damaged.output;

    EXPECT_EQ(Pximg(garbage.path + " - P_NoSuchBitmap").exitCode, 2);
}
