// glimmer3ds: inspects 3D Studio scene files with the program's own loader.
//
//   glimmer3ds summary FILE                   records of the file as JSON
//   glimmer3ds trace FILE                     every log line of the load, in order
//   glimmer3ds summary|trace --archive FILE.dat NAME
//
// Exit status 0, or 1 with a message on stderr when the file cannot be read or holds no 3DS main
// chunk, 2 for bad usage (an unknown option among them: a FILE or NAME that starts with "-" goes
// after "--").
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "base/debug_server.h"
#include "base/exception.h"
#include "app/information.h"
#include "archive/file_server.h"
#include "loader3ds/k3ds_container.h"

namespace {

constexpr const char* kUsage =
    "usage: glimmer3ds summary|trace FILE\n"
    "       glimmer3ds summary|trace --archive FILE.dat NAME\n"
    "\n"
    "  summary  prints the meshes, lights, cameras, materials and frame range as JSON\n"
    "  trace    prints every log line of the load (all levels), as the debug log would hold them\n"
    "\n"
    "FILE is read from disk; with --archive, NAME is looked up in the data archive FILE.dat\n"
    "(by full or base name, ignoring letter case). \"--\" ends the options, for a FILE or NAME\n"
    "that starts with \"-\". A file without a 3DS main chunk is refused (status 1); one whose\n"
    "main chunk runs past its end is read as far as it goes, with a warning.\n";

// ---- JSON ----

class Json {
public:
    void text(const char* s) {
        afterKey_ = false;
        if (!s) {
            out_ += "null";
            return;
        }
        out_ += '"';
        for (const unsigned char* p = reinterpret_cast<const unsigned char*>(s); *p; ++p) {
            if (*p == '"' || *p == '\\') {
                out_ += '\\';
                out_ += char(*p);
            } else if (*p < 0x20 || *p >= 0x7F) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", *p);  // bytes taken as Latin-1
                out_ += buf;
            } else {
                out_ += char(*p);
            }
        }
        out_ += '"';
    }
    void number(double v) {
        afterKey_ = false;
        if (!std::isfinite(v)) {
            out_ += "null";
            return;
        }
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.9g", v);
        out_ += buf;
    }
    void integer(long long v) {
        afterKey_ = false;
        out_ += std::to_string(v);
    }
    void boolean(bool v) {
        afterKey_ = false;
        out_ += v ? "true" : "false";
    }
    void triple(const K3DSContainer::Triple& t) {
        out_ += '[';
        number(t.x), out_ += ", ", number(t.y), out_ += ", ", number(t.z);
        out_ += ']';
    }
    void colour(const K3DSContainer::Colour& c) {
        out_ += '[';
        number(c.red), out_ += ", ", number(c.green), out_ += ", ", number(c.blue);
        out_ += ']';
    }
    void key(const char* name) {
        separate();
        newline();
        text(name);
        out_ += ": ";
        fresh_ = false;
        afterKey_ = true;
    }
    void open(char bracket) {
        if (!afterKey_) {
            separate();
            if (depth_ > 0) newline();
        }
        afterKey_ = false;
        out_ += bracket;
        ++depth_;
        fresh_ = true;
    }
    void close(char bracket) {
        --depth_;
        if (!fresh_) newline();
        out_ += bracket;
        fresh_ = false;
    }
    std::string& str() { return out_; }

private:
    void separate() {
        if (!fresh_) out_ += ',';
        fresh_ = false;
    }
    void newline() {
        out_ += '\n';
        out_.append(2 * depth_, ' ');
    }
    std::string out_;
    int depth_ = 0;
    bool fresh_ = true;
    bool afterKey_ = false;
};

std::string summary(const K3DSContainer& c) {
    Json j;
    j.open('{');
    j.key("file"), j.text(c.getFileName());
    j.key("size"), j.integer(c.getFileSize());
    j.key("meshes"), j.open('[');
    for (const auto* m = c.getFirstMesh(); m->next; m = m->next.get()) {
        j.open('{');
        j.key("name"), j.text(m->getName());
        j.key("vertices"), j.integer(m->vertexCount);
        j.key("polygons"), j.integer(m->polygonCount);
        j.key("hasMapping"), j.boolean(m->hasMapping);
        j.key("position"), j.triple(m->position);
        j.key("axes"), j.open('{');
        j.key("x"), j.triple(m->xAxis);
        j.key("y"), j.triple(m->yAxis);
        j.key("z"), j.triple(m->zAxis);
        j.close('}');
        j.key("materialGroups"), j.open('[');
        for (int32_t g = 0; g < m->groupCount && g < static_cast<int32_t>(m->groups.size()); ++g) {
            j.open('{');
            j.key("material"), j.text(m->groups[g].name.c_str());
            j.key("polygons"), j.integer(m->groups[g].count);
            j.close('}');
        }
        j.close(']');
        j.key("keys"), j.open('{');
        j.key("position"), j.integer(m->positionKeyCount);
        j.key("rotation"), j.integer(m->rotationKeyCount);
        j.key("scale"), j.integer(m->scaleKeyCount);
        j.close('}');
        j.close('}');
    }
    j.close(']');
    j.key("lights"), j.open('[');
    for (const auto* l = c.getFirstLight(); l->next; l = l->next.get()) {
        j.open('{');
        j.key("name"), j.text(l->getName());
        j.key("position"), j.triple(l->position);
        j.key("colour"), j.colour(l->colour);
        j.key("keys"), j.open('{');
        j.key("position"), j.integer(l->positionKeyCount);
        j.key("colour"), j.integer(l->colourKeyCount);
        j.close('}');
        j.close('}');
    }
    j.close(']');
    j.key("cameras"), j.open('[');
    for (const auto* k = c.getFirstCamera(); k->next; k = k->next.get()) {
        j.open('{');
        j.key("name"), j.text(k->getName());
        j.key("position"), j.triple(k->position);
        j.key("target"), j.triple(k->target);
        j.key("bank"), j.number(k->bank);
        j.key("lens"), j.number(k->lens);
        j.key("keys"), j.open('{');
        j.key("position"), j.integer(k->positionKeyCount);
        j.key("target"), j.integer(k->targetKeyCount);
        j.key("fov"), j.integer(k->fovKeyCount);
        j.key("roll"), j.integer(k->rollKeyCount);
        j.close('}');
        j.close('}');
    }
    j.close(']');
    j.key("materials"), j.open('[');
    for (const auto* m = c.getFirstMaterial(); m; m = m->next.get()) {
        j.open('{');
        j.key("name"), j.text(m->getName());
        j.key("ambient"), j.colour(m->ambient);
        j.key("diffuse"), j.colour(m->diffuse);
        j.key("specular"), j.colour(m->specular);
        j.key("transparency"), j.number(m->transparency);
        j.key("wireframe"), j.boolean(m->wireframe);
        j.key("wireSize"), j.number(m->wireSize);
        j.key("hasTextureMap"), j.boolean(m->hasTextureMap);
        j.key("textureMap"), j.text(m->textureMap.get());
        j.key("texturePercent"), j.number(m->texturePercent);
        j.key("hasReflectionMap"), j.boolean(m->hasReflectionMap);
        j.key("reflectionMap"), j.text(m->reflectionMap.get());
        j.key("reflectionPercent"), j.number(m->reflectionPercent);
        j.key("bumpMap"), j.text(m->bumpMap.get());
        j.key("bumpPercent"), j.number(m->bumpPercent);
        j.close('}');
    }
    j.close(']');
    j.key("startFrame"), j.integer(c.getStartFrame());
    j.key("endFrame"), j.integer(c.getEndFrame());
    j.close('}');
    j.str() += '\n';
    return j.str();
}

int fail(const std::string& message) {
    std::fprintf(stderr, "glimmer3ds: %s\n", message.c_str());
    return 1;
}

int usage(const std::string& problem) { return usageError("glimmer3ds", problem, kUsage); }

}  // namespace

int main(int argc, char** argv) {
    if (answeredInformationRequest(argc, argv, "glimmer3ds", kUsage)) return 0;
    if (argc < 2) return usage("a command is needed");
    const std::string command = argv[1];
    if (command != "summary" && command != "trace")
        return usage((command[0] == '-' ? "unknown option " : "unknown command ") + command);
    const char* archive = nullptr;
    std::vector<const char*> files;
    bool options = true;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (options && arg == "--") {
            options = false;
        } else if (options && arg == "--archive") {
            if (++i >= argc) return usage("--archive needs FILE.dat");
            archive = argv[i];
        } else if (options && arg.size() > 1 && arg[0] == '-') {
            return usage("unknown option " + arg);
        } else {
            files.push_back(argv[i]);
        }
    }
    if (files.size() != 1) return usage(command + (archive ? " takes one NAME" : " takes one FILE"));
    const char* file = files[0];
    const bool trace = command == "trace";

    // Tracing listens to every level; a summary listens to nothing, as the program does.
    DebugServer log(trace ? 0 : 11, 0);
    if (trace) {
        log.setSink([](std::string_view line) {
            std::fwrite(line.data(), 1, line.size(), stdout);
            std::fputc('\n', stdout);
        });
    }
    installDebugServer(log);
    try {
        FileServer files(log, 200);
        if (archive) files.openArchive(archive);
        K3DSContainer container(file, files, log);
        if (!container.ok()) {
            ExceptionType error = errors::couldntReadFile;
            error.setArgument(file);
            return fail(error.text());
        }
        // The loader makes an empty scene of anything; only a main chunk makes it a scene file.
        if (!container.hasMainChunk())
            return fail(std::string(file) + " holds no 3DS main chunk (0x4D4D): it is no 3D Studio scene");
        if (container.mainChunkCut())
            std::fprintf(stderr, "glimmer3ds: warning: %s is cut short: its main chunk runs past the end of the file\n",
                         file);
        if (!trace) std::fputs(summary(container).c_str(), stdout);
    } catch (const ExceptionType& error) {
        return fail(error.text());
    }
    return 0;
}
