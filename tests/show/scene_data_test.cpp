// Scene files are data: a file without a mesh must end in the catalogue's error, not in a read of
// a mesh that is not there.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "base/debug_server.h"
#include "base/exception.h"
#include "archive/file_server.h"
#include "loose_files.h"
#include "math/ktable.h"
#include "show/scenes.h"
#include "support/gl_context.h"
#include "support_3ds/chunk_builder.h"

namespace {

TEST(SceneData, SceneFileWithoutAMeshIsInvalidData) {
    TestGLContext gl;
    ASSERT_TRUE(gl.ok());
    KTable table(65536, 320, 240, 32, 45.0f);
    FileServer files(debugServer(), 200);
    installFileServer(files);
    LooseFiles data;
    support3ds::Scene empty;
    empty.lights.push_back({"lamp", {0, 10, 0}, {1, 1, 1}});
    const std::vector<uint8_t> bytes = support3ds::write3ds(empty);
    for (const char* name : {"data/Spiral.3ds", "data/Array.3ds", "data/Arrays.3ds"}) data.add(name, bytes);

    ShowState show;
    Scene1 spiral(show);
    Scene2 rush(show);
    Scene3 bursts(show);
    Scene4 drift(show);
    const std::pair<std::string, std::function<void()>> setUps[] = {
        {"data/Spiral.3ds", [&] { spiral.setUp(); }},
        {"data/Array.3ds", [&] { rush.setUp(); }},
        {"data/Arrays.3ds", [&] { bursts.setUp(); }},
        {"data/Arrays.3ds", [&] { drift.setUp(); }},
    };
    for (const auto& [file, setUp] : setUps) {
        SCOPED_TRACE(file);
        try {
            setUp();
            ADD_FAILURE() << "a scene without a mesh was accepted";
        } catch (const ExceptionType& error) {
            EXPECT_EQ(error.text(), "Error - invalid data in file " + file + "! Aborting...");
        }
    }
}

}  // namespace
