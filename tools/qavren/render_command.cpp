// qavren render: one picture per object, next to it, at -o or into -d, with
// a progress line and a closing list of failures for a batch.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <sys/stat.h>

#include "tools/qavren/arg_parser.h"
#include "tools/qavren/commands.h"
#include "tools/qavren/object_file.h"
#include "tools/qavren/progress.h"

namespace qavren::cli {
namespace {

enum RenderOption { kOutput, kDirectory, kWireframe, kPolygons, kSize, kHelp };
constexpr OptionRule kRenderOptions[] = {
    {'o', "output", true}, {'d', "directory", true}, {0, "wireframe", false},
    {0, "polygons", false}, {0, "size", true},       {'h', "help", false},
};

struct RenderJob {
    RenderSettings settings;
    const char* output = nullptr;
    const char* directory = nullptr;
    char** inputs = nullptr;
    int input_count = 0;
    bool help = false;
};

// 0 when parsed, else the exit status of the usage error already printed.
int ParseRenderJob(int argc, char** argv, RenderJob* job) {
    ArgParser parser(argc, argv, kRenderOptions, static_cast<int>(std::size(kRenderOptions)));
    Message error;
    int option = 0;
    const char* value = nullptr;
    int got;
    while ((got = parser.Next(&option, &value, &error)) == 1) {
        switch (option) {
        case kOutput: job->output = value; break;
        case kDirectory: job->directory = value; break;
        case kWireframe: job->settings.mode = 0; break;
        case kPolygons: job->settings.mode = 1; break;
        case kHelp: job->help = true; break;
        case kSize:
            if (!ParseSize(value, &job->settings.width, &job->settings.height)) {
                Format(&error, "bad --size '%s': give WxH, such as 800x600, with a picture under 2 GiB", value);
                return UsageError("render", error.text);
            }
            break;
        }
    }
    if (got < 0) return UsageError("render", error.text);
    job->inputs = parser.operands();
    job->input_count = parser.operand_count();
    if (job->help) return kExitOk;
    if (job->input_count == 0) return UsageError("render", "no object file given");
    if (job->output && job->directory) return UsageError("render", "give either -o or -d, not both");
    if (job->output && job->input_count > 1) return UsageError("render", "-o takes one object file; use -d for several");
    ImageFormat format = ImageFormat::kPng;  // what every derived name gets
    if (job->output && !FormatFromName(job->output, &format)) {
        Format(&error, "cannot tell the picture format of '%s': name it .png or .bmp", job->output);
        return UsageError("render", error.text);
    }
    const RenderSettings& s = job->settings;
    if (format == ImageFormat::kPng && (s.width > kPngSideLimit || s.height > kPngSideLimit)) {
        Format(&error, "a PNG picture is at most %d pixels a side; write a .bmp for %dx%d", kPngSideLimit, s.width,
               s.height);
        return UsageError("render", error.text);
    }
    return kExitOk;
}

const char* BaseName(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

// The length of the name without its extension, if it has one.
size_t StemLength(const char* name) {
    const char* dot = std::strrchr(name, '.');
    return dot && dot != name ? static_cast<size_t>(dot - name) : std::strlen(name);
}

// The input's picture: in DIR when given, else beside the input; .png.
bool DerivedOutput(const char* input, const char* directory, char* out, size_t size) {
    const char* base = BaseName(input);
    const int dir_length = directory ? static_cast<int>(std::strlen(directory)) : static_cast<int>(base - input);
    const char* separator = directory && dir_length > 0 && directory[dir_length - 1] != '/' ? "/" : "";
    const int n = std::snprintf(out, size, "%.*s%s%.*s.png", dir_length, directory ? directory : input, separator,
                                static_cast<int>(StemLength(base)), base);
    return n >= 0 && static_cast<size_t>(n) < size;
}

// Two inputs of one name would overwrite each other's picture in -d.
const char* EarlierNamesake(char** inputs, int index) {
    const char* base = BaseName(inputs[index]);
    const size_t stem = StemLength(base);
    for (int k = 0; k < index; ++k) {
        const char* other = BaseName(inputs[k]);
        if (StemLength(other) == stem && std::strncmp(other, base, stem) == 0) return inputs[k];
    }
    return nullptr;
}

bool MakeDirectory(const char* directory, Message* error) {
    struct stat st;
    if (::mkdir(directory, 0777) != 0 && errno != EEXIST) {
        Format(error, "cannot create directory %s: %s", directory, std::strerror(errno));
        return false;
    }
    if (::stat(directory, &st) != 0 || !S_ISDIR(st.st_mode)) {
        Format(error, "%s is not a directory", directory);
        return false;
    }
    return true;
}

bool RenderOne(const RenderJob& job, int index, Message* error) {
    const char* input = job.inputs[index];
    if (job.output) {
        ImageFormat format = ImageFormat::kPng;
        FormatFromName(job.output, &format);
        return RenderObjectFile(input, job.output, format, job.settings, error);
    }
    char output[PATH_MAX];
    if (!DerivedOutput(input, job.directory, output, sizeof output)) {
        Format(error, "%s: the picture's path would be too long", input);
        return false;
    }
    const char* namesake = job.directory ? EarlierNamesake(job.inputs, index) : nullptr;
    if (namesake) {
        Format(error, "%s: not written: %s would overwrite the picture of %s", input, output, namesake);
        return false;
    }
    return RenderObjectFile(input, output, ImageFormat::kPng, job.settings, error);
}

// Failures are kept for the closing list; without room for them (no
// memory), each is printed when it happens instead.
int RenderAll(const RenderJob& job) {
    const int n = job.input_count;
    auto* failures = static_cast<Message*>(std::calloc(static_cast<size_t>(n), sizeof(Message)));
    int failed = 0;
    {
        ProgressLine progress(n);
        for (int i = 0; i < n; ++i) {
            progress.Show(i + 1, job.inputs[i]);
            Message error;
            if (RenderOne(job, i, &error)) continue;
            if (failures) {
                failures[failed] = error;
            } else {
                progress.Clear();
                std::fprintf(stderr, "qavren: %s\n", error.text);
            }
            ++failed;
        }
    }
    if (failures && failed == 1 && n == 1) std::fprintf(stderr, "qavren: %s\n", failures[0].text);
    if (failures && n > 1 && failed > 0) {
        std::fprintf(stderr, "qavren: %d of %d objects could not be rendered:\n", failed, n);
        for (int k = 0; k < failed; ++k) std::fprintf(stderr, "  %s\n", failures[k].text);
    }
    std::free(failures);
    return failed == 0 ? kExitOk : kExitFailed;
}

}  // namespace

int RunRender(int argc, char** argv) {
    RenderJob job;
    const int parsed = ParseRenderJob(argc, argv, &job);
    if (parsed != kExitOk) return parsed;
    if (job.help) {
        PrintHelp("render");
        return kExitOk;
    }
    Message error;
    if (job.directory && !MakeDirectory(job.directory, &error)) {
        std::fprintf(stderr, "qavren: %s\n", error.text);
        return kExitFailed;
    }
    return RenderAll(job);
}

}  // namespace qavren::cli
