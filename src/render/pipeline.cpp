#include <GL/gl.h>

#include "math/ktable.h"
#include "render/mesh_renderer.h"
#include "render/render.h"
#include "render/switches.h"
#include "scene/kmesh.h"
#include "scene/view.h"

namespace {

Matrix projectionMatrix() { return Matrix::scale(KTable::projectionScaleX(), KTable::projectionScaleY(), 1.0f); }

}  // namespace

void MeshRenderer::attach(KMesh& mesh, View& view) {
    mesh.view_ = &view;
    mesh.camera_ = view.currentCamera >= 0 ? view.cameras[view.currentCamera] : nullptr;
}

void MeshRenderer::draw(KMesh& mesh, View& view) {
    // A mesh that was never built has nothing to draw.
    if (!mesh.frame_) return;
    attach(mesh, view);
    if (!mesh.camera_) return;
    mesh.visibility_ = classify(mesh);
    if (mesh.forceClip_) mesh.visibility_ = kPartly;
    if (mesh.visibility_ == kInside) {
        view.clipping = 0;
    } else if (mesh.visibility_ == kPartly) {
        view.clipping = 1;
    } else {
        return;
    }
    selectPolygons(mesh);
    shade(mesh);
    project(mesh);
    renderViewports(mesh);
}

int MeshRenderer::classify(KMesh& mesh) {
    Frame& frame = *mesh.frame_;
    frame.buildObjectMatrices();
    mesh.scratch_[0] = frame.objectMatrix() * mesh.camera_->cameraMatrix() * projectionMatrix();
    const Point c = Point(0.0f, 0.0f, 0.0f).transformed(mesh.scratch_[0]);
    const float r = mesh.radius_;
    const float nearPlane = KTable::clipConstant();

    if (c.x + r < -c.z || c.x - r > c.z || c.y - r > c.z || c.y + r < -c.z || c.z + r < nearPlane) return kOutside;
    // Wholly inside only with a margin of twice the radius.
    const float r2 = 2.0f * r;
    if (c.x - r2 > -c.z && c.x + r2 < c.z && c.y + r2 < c.z && c.y - r2 > -c.z && c.z - r2 > nearPlane) return kInside;
    return kPartly;
}

void MeshRenderer::selectPolygons(KMesh& mesh) {
    View& view = *mesh.view_;
    const Frame& frame = *mesh.frame_;
    // The camera in object space.
    const Point eye = Point::difference(frame.getPosition(), mesh.camera_->getPosition())
                          .transformed(frame.inverseRotation());
    const int count = mesh.polygonCount_;
    KMeshPolygon** list = mesh.visibleList_.data();
    int front = 0, back = 0;
    for (int i = 0; i < count; ++i) {
        KMeshPolygon& p = mesh.polygons_[size_t(i)];
        const bool backFacing = dot(Direction(mesh.vertices_[size_t(p.a)], eye), *p.faceNormal) < 0.0f;
        if (!backFacing) {
            list[front++] = &p;
        } else if (mesh.twoSided_) {
            // Back faces fill the list from its end, so they follow the front faces reversed.
            list[count - 1 - back++] = &p;
        }
    }
    view.frontCount = front;
    view.backCount = back;
    // Two-sided meshes sort every polygon one way or the other, so the back faces end exactly
    // where the front faces stop.
    view.drawCount = front + back;
}

void MeshRenderer::project(KMesh& mesh) {
    const Frame& frame = *mesh.frame_;
    const RenderSwitches& s = renderSwitches();
    Matrix& total = mesh.scratch_[1];
    if (s.stretch) {
        total = frame.objectMatrix() * Matrix::scale(s.stretchX, s.stretchY, s.stretchZ) *
                mesh.camera_->cameraMatrix() * projectionMatrix();
    } else {
        total = frame.objectMatrix() * mesh.camera_->cameraMatrix() * projectionMatrix();
    }
    const int n = mesh.vertexCount_;
    for (int i = 0; i < n; ++i) {
        Point& t = mesh.transformed_[size_t(i)];
        t = mesh.vertices_[size_t(i)].transformed(total);
        mesh.outcodes_[size_t(i)] = uint8_t(t.classify());
    }
    if (mesh.hasEnvironmentMap_) {
        Matrix& normals = mesh.scratch_[2];
        normals = frame.objectMatrix() * mesh.camera_->cameraMatrix();
        normals.m[12] = normals.m[13] = normals.m[14] = normals.m[15] = 0.0f;
        for (int i = 0; i < n; ++i) mesh.mappingNormals_[size_t(i)] = mesh.vertexNormals_[size_t(i)].transformed(normals);
    }
}

void MeshRenderer::renderViewports(KMesh& mesh) {
    const View& view = *mesh.view_;
    const float brightness = renderSwitches().brightness;
    glEnable(GL_SCISSOR_TEST);
    for (int v = 0; v < view.viewportCount; ++v) {
        const Viewport* viewport = view.viewports[v];
        if (!viewport) continue;
        glScissor(GLint(viewport->x), GLint(viewport->y), GLsizei(viewport->width), GLsizei(viewport->height));
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        if (v > 0) glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glColor3f(brightness, brightness, brightness);
        glDisable(GL_TEXTURE_2D);

        if (mesh.surfaceMode_ & (kSurfaceEnvironment | kSurfaceTexture)) glEnable(GL_TEXTURE_2D);
        if (!submitOutlines(mesh)) submitEachPolygon(mesh);
        countPolygons(polygonsPassed(mesh));
    }
}

// The polygons of one viewport pass that reach GL, whichever way they are submitted.
int MeshRenderer::polygonsPassed(const KMesh& mesh) {
    KMeshPolygon* const* list = mesh.visibleList_.data();
    const int count = mesh.view_->frontCount + mesh.view_->backCount;
    int passed = 0;
    for (int i = 0; i < count; ++i) passed += clippedAway(mesh, *list[i]) ? 0 : 1;
    return passed;
}

bool MeshRenderer::clippedAway(const KMesh& mesh, const KMeshPolygon& p) {
    // Polygons wholly beyond one boundary cost nothing; straddling ones are drawn whole.
    const uint8_t* outcodes = mesh.outcodes_.data();
    return mesh.view_->clipping == 1 && (outcodes[p.a] & outcodes[p.b] & outcodes[p.c]) != 0;
}

void MeshRenderer::submitEachPolygon(KMesh& mesh) {
    const View& view = *mesh.view_;
    KMeshPolygon* const* list = mesh.visibleList_.data();
    const int front = view.frontCount, back = view.backCount;
    for (int i = 0; i < front + back; ++i) {
        if (!clippedAway(mesh, *list[i])) submitPolygon(*list[i], i < front ? kFrontPass : kBackPass);
    }
}
