#include "RenderBenchSupport.h"

#include <stdio.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "engine/render/CRenderer.h"
#include "engine/render/Camera.h"

BenchGameFolder::BenchGameFolder(const char* name)
    : m_Game(std::filesystem::temp_directory_path() / (std::string(name) + "_" + std::to_string(getpid()))),
      m_Previous(std::filesystem::current_path())
{
    std::filesystem::create_directories(m_Game / "run");
    std::filesystem::current_path(m_Game / "run");
}

BenchGameFolder::~BenchGameFolder()
{
    std::error_code ignored;
    std::filesystem::current_path(m_Previous, ignored);
    std::filesystem::remove_all(m_Game, ignored);
}

void BenchGameFolder::WriteRenderConfig(int width, int height) const
{
    std::ofstream(m_Game / "render.cfg") << "width: " << width << "\nheight: " << height << "\nwindowed:\n";
}

CRenderer* StartBenchRenderer(int deviceFlags)
{
    CRenderer* renderer = CRenderer::Create();
    if (!renderer || renderer->Init(nullptr, deviceFlags, 0) != 0) {
        printf("the renderer could not start\n");
        return nullptr;
    }
    renderer->ConfigureLayers(1);
    renderer->DefineLayer(0, RenderLayer::CLEAR_COLOUR | RenderLayer::CLEAR_DEPTH | RenderLayer::ENABLED, {0, 0, 1, 1},
                          CVector4(16, 24, 48, 0), 1.0f);
    return renderer;
}

void LoadCameraOverField(float field)
{
    // The camera looks along its view z with y up the screen; z is up in the world.
    CMatrix camera;
    camera.LookAt(CVector(field / 2, -20, 90), CVector(field / 2, field / 2, 0), CVector(0, 0, 1));
    for (int row = 0; row < 4; ++row)
        camera.m[4 * row + 2] = -camera.m[4 * row + 2];
    LoadCamera(0, camera);
    CMatrix projection;
    projection.Perspective(1.0f, 640.0f / 480.0f, 1.0f, 400.0f);
    for (int row = 0; row < 4; ++row)
        projection.m[4 * row + 1] = -projection.m[4 * row + 1];
    LoadProjection(0, projection);
}
