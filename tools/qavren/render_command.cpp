// qavren render: one picture per object, next to it, at -o or into -d; a
// batch runs on every processor, with a progress line and a line per
// failure in input order.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tools/qavren/arg_parser.h"
#include "tools/qavren/batch.h"
#include "tools/qavren/commands.h"
#include "tools/qavren/object_file.h"
#include "tools/qavren/progress.h"

namespace qavren::cli {
namespace {

// Pictures above this many bytes limit the default number of jobs, so that
// the batch's pictures fit in memory together.
constexpr uint64_t kParallelMemory = uint64_t{1} << 29;

enum RenderOption {
    kOutput, kDirectory, kWireframe, kPolygons, kSize, kFormat, kAngles, kJobs, kQuiet, kVerbose, kHelp,
    kShaded, kBackground
};
constexpr OptionRule kRenderOptions[] = {
    {'o', "output", true}, {'d', "directory", true}, {0, "wireframe", false}, {0, "polygons", false},
    {'s', "size", true},   {0, "format", true},      {0, "angles", true},     {'j', "jobs", true},
    {'q', "quiet", false}, {'v', "verbose", false},  {'h', "help", false},
    {0, "shaded", false},  {0, "background", true},
};

struct RenderJob {
    RenderSettings settings;
    ShadedBackground background;  // of the shaded style
    bool background_given = false;
    const char* output = nullptr;
    const char* directory = nullptr;
    char** inputs = nullptr;
    int input_count = 0;
    ImageFormat format = ImageFormat::kPng;
    const char* format_name = nullptr;
    int jobs = 0;  // 0: one per processor
    Verbosity verbosity = Verbosity::kNormal;
    bool help = false;
};

bool ParseFormat(const char* name, ImageFormat* format) {
    if (strcasecmp(name, "png") == 0) *format = ImageFormat::kPng;
    else if (strcasecmp(name, "bmp") == 0) *format = ImageFormat::kBmp;
    else return false;
    return true;
}

bool ParseJobs(const char* text, int* jobs) {
    char* end = nullptr;
    errno = 0;
    const long n = *text >= '0' && *text <= '9' ? std::strtol(text, &end, 10) : 0;
    if (errno != 0 || n < 1 || *end != '\0') return false;
    *jobs = n > kMaxJobs ? kMaxJobs : static_cast<int>(n);
    return true;
}

// The options in order; 0 when parsed, else the usage error's status.
int ParseOptions(int argc, char** argv, RenderJob* job) {
    ArgParser parser(argc, argv, kRenderOptions, static_cast<int>(std::size(kRenderOptions)));
    Message error;
    int option = 0;
    const char* value = nullptr;
    int got;
    while ((got = parser.Next(&option, &value, &error)) == 1) {
        switch (option) {
        case kOutput: job->output = value; break;
        case kDirectory: job->directory = value; break;
        case kWireframe: job->settings.mode = job->settings.shaded = 0; break;
        case kPolygons: job->settings.mode = 1, job->settings.shaded = 0; break;
        case kShaded: job->settings.mode = job->settings.shaded = 1; break;
        case kBackground:
            if (!ParseBackground(value, &job->background)) return UsageError("render", BadBackground(value, &error));
            job->background_given = true;
            break;
        case kQuiet: job->verbosity = Verbosity::kQuiet; break;
        case kVerbose: job->verbosity = Verbosity::kVerbose; break;
        case kHelp: job->help = true; break;
        case kSize:
            if (!ParseSize(value, &job->settings.width, &job->settings.height)) {
                return UsageError("render", BadSize(value, &error));
            }
            break;
        case kFormat:
            job->format_name = value;
            if (!ParseFormat(value, &job->format)) {
                Format(&error, "unknown --format '%s': give png or bmp", value);
                return UsageError("render", error.text);
            }
            break;
        case kAngles:
            if (!ParseAngles(value, &job->settings)) return UsageError("render", BadAngles(value, &error));
            break;
        case kJobs:
            if (!ParseJobs(value, &job->jobs)) {
                Format(&error, "bad --jobs '%s': give a number of jobs, 1 or more", value);
                return UsageError("render", error.text);
            }
            break;
        }
    }
    if (got < 0) return UsageError("render", error.text);
    job->inputs = parser.operands();
    job->input_count = parser.operand_count();
    return kExitOk;
}

// What the options ask must make sense together; 0, else the usage error's
// status.
int CheckJob(RenderJob* job) {
    Message error;
    if (job->input_count == 0) return UsageError("render", "no object file given");
    if (job->output && job->directory) return UsageError("render", "give either -o or -d, not both");
    if (job->output && job->input_count > 1) return UsageError("render", "-o takes one object file; use -d for several");
    int from_stdin = 0;
    for (int i = 0; i < job->input_count; ++i) from_stdin += IsStandardStream(job->inputs[i]);
    if (from_stdin > 1) return UsageError("render", "standard input (-) can be read only once");
    if (from_stdin && !job->output) return UsageError("render", "name the picture of standard input with -o");
    if (job->output && IsStandardStream(job->output)) {
        if (::isatty(STDOUT_FILENO)) return UsageError("render", "standard output is a terminal; redirect it to a file");
    } else if (job->output) {
        ImageFormat named = ImageFormat::kPng;
        if (!FormatFromName(job->output, &named)) {
            Format(&error, "cannot tell the picture format of '%s': name it .png or .bmp", job->output);
            return UsageError("render", error.text);
        }
        if (job->format_name && named != job->format) {
            Format(&error, "--format %s does not match the name '%s'", job->format_name, job->output);
            return UsageError("render", error.text);
        }
        job->format = named;
    }
    const RenderSettings& s = job->settings;
    if (job->background_given && !DrawsShaded(s)) {
        return UsageError("render", "--background is for --shaded; the other styles draw the canvas");
    }
    if (job->background.kind == ShadedBackground::Kind::kNone && job->format != ImageFormat::kPng) {
        return UsageError("render", "--background none needs a PNG picture: a BMP has no transparency");
    }
    if (job->format == ImageFormat::kPng && (s.width > kPngSideLimit || s.height > kPngSideLimit)) {
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

// The input's picture: in DIR when given, else beside the input.
bool DerivedOutput(const char* input, const char* directory, ImageFormat format, char* out, size_t size) {
    const char* base = BaseName(input);
    const int dir_length = directory ? static_cast<int>(std::strlen(directory)) : static_cast<int>(base - input);
    const char* separator = directory && dir_length > 0 && directory[dir_length - 1] != '/' ? "/" : "";
    const int n = std::snprintf(out, size, "%.*s%s%.*s.%s", dir_length, directory ? directory : input, separator,
                                static_cast<int>(StemLength(base)), base, format == ImageFormat::kBmp ? "bmp" : "png");
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

struct Report {
    const RenderJob* job;
    ProgressLine* progress;
    int failed = 0;
};

void RenderOne(void* context, int index, Outcome* outcome) {
    const RenderJob& job = *static_cast<const Report*>(context)->job;
    const char* input = job.inputs[index];
    char derived[PATH_MAX];
    const char* output = job.output;
    if (!output && !DerivedOutput(input, job.directory, job.format, derived, sizeof derived)) {
        Format(&outcome->text, "%s: the picture's path would be too long", input);
        return;
    }
    output = output ? output : derived;
    const char* namesake = job.directory ? EarlierNamesake(job.inputs, index) : nullptr;
    if (namesake) {
        Format(&outcome->text, "%s: not written: %s would overwrite the picture of %s", input, output, namesake);
        return;
    }
    outcome->ok = RenderObjectFile(input, output, job.format, WriteMode::kReplace, job.settings, &outcome->text,
                                   job.background);
    if (outcome->ok) DescribeWritten(input, output, job.settings, &outcome->text);
}

void ReportOne(void* context, int index, const Outcome& outcome) {
    auto* r = static_cast<Report*>(context);
    r->progress->Show(index + 1, DisplayName(r->job->inputs[index]));
    if (outcome.ok && r->job->verbosity != Verbosity::kVerbose) return;
    r->failed += !outcome.ok;
    r->progress->Clear();
    std::fprintf(stderr, "qavren: %s\n", outcome.text.text);
}

int DefaultJobs(const RenderJob& job) {
    PictureLayout layout;
    const uint64_t picture = ComputeLayout(job.settings.width, job.settings.height, &layout) ? layout.image_size : 1;
    const uint64_t fit = picture ? kParallelMemory / picture : 1;
    const int processors = AvailableProcessors();
    return fit < 1 ? 1 : fit < static_cast<uint64_t>(processors) ? static_cast<int>(fit) : processors;
}

int RenderAll(RenderJob& job) {
    const int n = job.input_count;
    ProgressLine progress(n, job.verbosity != Verbosity::kQuiet);
    Report report = {&job, &progress};
    RunBatch(n, job.jobs ? job.jobs : DefaultJobs(job), BatchWork{RenderOne, ReportOne, &report});
    progress.Clear();
    if (report.failed > 0 && n > 1 && job.verbosity != Verbosity::kQuiet) {
        std::fprintf(stderr, "qavren: %d of %d objects could not be rendered\n", report.failed, n);
    }
    return report.failed == 0 ? kExitOk : kExitFailed;
}

}  // namespace

int RunRender(int argc, char** argv) {
    RenderJob job;
    int status = ParseOptions(argc, argv, &job);
    if (status == kExitOk && job.help) {
        PrintHelp("render");
        return kExitOk;
    }
    if (status == kExitOk) status = CheckJob(&job);
    if (status != kExitOk) return status;
    Message error;
    if (job.directory && !MakeDirectory(job.directory, &error)) {
        std::fprintf(stderr, "qavren: %s\n", error.text);
        return kExitFailed;
    }
    return RenderAll(job);
}

}  // namespace qavren::cli
