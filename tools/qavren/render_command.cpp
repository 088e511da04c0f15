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

#include "platform/owned_array.h"
#include "render/parallel.h"
#include "tools/qavren/arg_parser.h"
#include "tools/qavren/batch.h"
#include "tools/qavren/commands.h"
#include "tools/qavren/object_file.h"
#include "tools/qavren/object_tree.h"
#include "tools/qavren/progress.h"
#include "tools/qavren/texture_options.h"

namespace qavren::cli {
namespace {

// Pictures above this many bytes limit the default number of jobs, so that
// the batch's pictures fit in memory together.
constexpr uint64_t kParallelMemory = uint64_t{1} << 29;

enum RenderOption {
    kOutput, kDirectory, kWireframe, kPolygons, kSize, kFormat, kAngles, kJobs, kQuiet, kVerbose, kHelp, kRecursive,
    kThreads, kShaded, kBackground, kTextures, kNoTextures
};
constexpr OptionRule kRenderOptions[] = {
    {'o', "output", true}, {'d', "directory", true}, {0, "wireframe", false}, {0, "polygons", false},
    {'s', "size", true},   {0, "format", true},      {0, "angles", true},     {'j', "jobs", true},
    {'q', "quiet", false}, {'v', "verbose", false},  {'h', "help", false},    {'r', "recursive", false},
    {0, "threads", true},  {0, "shaded", false},   {0, "background", true},  kTexturesRule,
    kNoTexturesRule,
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
    int threads = 0;  // drawing threads in all, shared by the jobs; 0: one per processor
    Verbosity verbosity = Verbosity::kNormal;
    bool help = false;
    bool recursive = false;
    TextureOptions textures;  // for the shaded style
};

// The pictures to draw once folders are walked: for each object its input,
// where its picture goes (null with -o: job.output) and why it is not drawn
// (null when it is). Inputs found below a folder, all outputs and the words
// of refusals are owned by `owned`.
struct Plan {
    OwnedArray<const char*> inputs;
    OwnedArray<const char*> outputs;
    OwnedArray<const char*> refusals;
    int count = 0;
    PathList owned;
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
    if (!job->textures.Reserve(argc)) {
        std::fprintf(stderr, "qavren: not enough memory\n");
        return kExitFailed;
    }
    ArgParser parser(argc, argv, kRenderOptions, static_cast<int>(std::size(kRenderOptions)));
    Message error;
    int option = 0;
    const char* value = nullptr;
    int got;
    while ((got = parser.Next(&option, &value, &error)) == 1) {
        if (job->textures.Take(kRenderOptions[option], value)) continue;
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
        case kRecursive: job->recursive = true; break;
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
        case kThreads:
            if (!ParseJobs(value, &job->threads)) {
                Format(&error, "bad --threads '%s': give a number of threads, 1 or more", value);
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
    if (job->output && job->recursive) return UsageError("render", "-o takes one object file; use -d with -r");
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
    if (job->background_given && StyleOf(s) != DrawStyle::kShaded) {
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

// The input's picture: in DIR when given, else beside the input. `below`
// is the part of the input's path below the folder it was found in (the
// whole path for an operand: only its last name counts then), so that -d
// mirrors the folder's tree.
bool DerivedOutput(const char* input, const char* below, const char* directory, ImageFormat format, char* out,
                   size_t size) {
    const char* base = BaseName(input);
    const char* dir = directory ? directory : input;
    int dir_length = directory ? static_cast<int>(std::strlen(directory)) : static_cast<int>(base - input);
    const char* separator = directory && dir_length > 0 && directory[dir_length - 1] != '/' ? "/" : "";
    const char* sub = below == input ? base : below;  // the folders between DIR and the name
    if (!directory) sub = base;
    const int n = std::snprintf(out, size, "%.*s%s%.*s%.*s.%s", dir_length, dir, separator,
                                static_cast<int>(base - sub), sub, static_cast<int>(StemLength(base)), base,
                                format == ImageFormat::kBmp ? "bmp" : "png");
    return n >= 0 && static_cast<size_t>(n) < size;
}

int CompareOutputs(const void* a, const void* b, void* outputs) {
    const char* const* o = static_cast<const char* const*>(outputs);
    const int x = *static_cast<const int*>(a);
    const int y = *static_cast<const int*>(b);
    const int c = std::strcmp(o[x], o[y]);
    return c ? c : (x > y) - (x < y);
}

// mkdir -p: every missing folder of `path` made, each existing one checked.
bool MakeDirectories(const char* path, Message* error) {
    char partial[PATH_MAX];
    const size_t length = std::strlen(path);
    if (length >= sizeof partial) {
        Format(error, "cannot create directory %s: %s", path, std::strerror(ENAMETOOLONG));
        return false;
    }
    std::memcpy(partial, path, length + 1);
    for (size_t end = 1; end <= length; ++end) {
        if (end < length && partial[end] != '/') continue;
        if (end < length && partial[end - 1] == '/') continue;  // "a//b"
        const char kept = partial[end];
        partial[end] = '\0';
        struct stat st;
        if (::mkdir(partial, 0777) != 0 && errno != EEXIST) {
            Format(error, "cannot create directory %s: %s", partial, std::strerror(errno));
            return false;
        }
        if (::stat(partial, &st) != 0 || !S_ISDIR(st.st_mode)) {
            Format(error, "%s is not a directory", partial);
            return false;
        }
        partial[end] = kept;
    }
    return true;
}

struct Report {
    const RenderJob* job;
    const Plan* plan;
    ProgressLine* progress;
    int failed = 0;
    DrawingOptions drawing;  // each picture's share of the threads
};

// What drawing the picture of this thread's current job did with threads
// (each job is drawn on the thread that runs it), for -v.
thread_local DrawReport t_drawn;
void KeepDrawReport(const DrawReport& report) { t_drawn = report; }

// "; threads: 2 of 2, bands: 4, sort: exact on 2" inside the parentheses
// of a drawn picture's line, when its style drew on threads at all.
void DescribeThreads(Message* m) {
    if (t_drawn.allowed <= 0) return;
    size_t used = std::strlen(m->text);
    if (used > 0 && m->text[used - 1] == ')') --used;  // inside the parentheses
    const char* sort = t_drawn.sort == DrawReport::Sort::kExact      ? ", sort: exact on "
                       : t_drawn.sort == DrawReport::Sort::kFellBack ? ", sort: fell back from "
                                                                     : "";
    char sort_threads[16] = "";
    if (*sort) std::snprintf(sort_threads, sizeof sort_threads, "%d", t_drawn.sort_threads);
    std::snprintf(m->text + used, sizeof m->text - used, "; threads: %d of %d, bands: %d%s%s)", t_drawn.threads,
                  t_drawn.allowed, t_drawn.bands, sort, sort_threads);
}

void RenderOne(void* context, int index, Outcome* outcome) {
    const RenderJob& job = *static_cast<const Report*>(context)->job;
    const Plan& plan = *static_cast<const Report*>(context)->plan;
    const DrawingOptions& drawing = static_cast<const Report*>(context)->drawing;
    const char* input = plan.inputs[index];
    if (plan.refusals[index]) {
        Format(&outcome->text, "%s: %s", input, plan.refusals[index]);
        return;
    }
    const char* output = plan.outputs[index] ? plan.outputs[index] : job.output;
    // The folders of a mirrored tree are made as their pictures need them.
    if (job.directory) {
        const char* slash = std::strrchr(output, '/');
        char folder[PATH_MAX];
        const int n = slash ? std::snprintf(folder, sizeof folder, "%.*s", static_cast<int>(slash - output), output) : 0;
        if (n > 0 && static_cast<size_t>(n) < sizeof folder && !MakeDirectories(folder, &outcome->text)) return;
    }
    t_drawn = DrawReport();
    const DiskTextures disk = job.textures.Around(input);
    const bool textured = job.textures.look_up() && StyleOf(job.settings) == DrawStyle::kShaded;
    outcome->ok = RenderObjectFile(input, output, job.format, WriteMode::kReplace, job.settings, &outcome->text,
                                   job.background, drawing, textured ? &disk : nullptr);
    if (outcome->ok) {
        DescribeWritten(input, output, job.settings, &outcome->text);
        DescribeThreads(&outcome->text);
    }
}

void ReportOne(void* context, int index, const Outcome& outcome) {
    auto* r = static_cast<Report*>(context);
    r->progress->Show(index + 1, DisplayName(r->plan->inputs[index]));
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

int RenderAll(RenderJob& job, const Plan& plan, int failed_before) {
    const int n = plan.count;
    ProgressLine progress(n, job.verbosity != Verbosity::kQuiet);
    // The pictures drawn at once share the drawing threads, so that the two
    // together never ask for more threads than --threads (or the processors).
    const int jobs = job.jobs ? job.jobs : DefaultJobs(job);
    const int threads = job.threads ? job.threads : AvailableProcessors();
    const int at_once = jobs < n ? jobs : n > 0 ? n : 1;
    const DrawingOptions drawing{threads / at_once > 1 ? threads / at_once : 1, 0};
    Report report = {&job, &plan, &progress, failed_before, drawing};
    if (job.verbosity == Verbosity::kVerbose) SetDrawObserver(KeepDrawReport);
    RunBatch(n, jobs, BatchWork{RenderOne, ReportOne, &report});
    progress.Clear();
    if (report.failed > failed_before && n > 1 && job.verbosity != Verbosity::kQuiet) {
        std::fprintf(stderr, "qavren: %d of %d objects could not be rendered\n", report.failed - failed_before, n);
    }
    return report.failed == 0 ? kExitOk : kExitFailed;
}

constexpr char kFolderWithoutR[] = "is a directory, not an object file; give -r to draw the objects below it";
constexpr char kTooLong[] = "the picture's path would be too long";

bool IsFolder(const char* path) {
    struct stat st;
    return !IsStandardStream(path) && ::stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

// An operand as the plan takes it, its folder told once: with -r a folder
// gives way to the objects found below it, [first, end) of the found paths.
struct Operand {
    bool folder;
    int first;
    int end;
};

// With -r, the objects below each folder operand, into *found. *failed
// counts the folders that could not be read or hold no object (each
// reported here); false when memory runs out.
bool ExpandOperands(const RenderJob& job, OwnedArray<Operand>* operands, PathList* found, int* failed) {
    if (Failed(operands->Allocate(static_cast<uint64_t>(job.input_count)))) return false;
    for (int i = 0; i < job.input_count; ++i) {
        const char* operand = job.inputs[i];
        Operand& o = (*operands)[i];
        o.folder = IsFolder(operand);
        o.first = o.end = found->count();
        if (!job.recursive || !o.folder) continue;
        Message error;
        bool unreadable = false;
        const bool ok = FindObjects(operand, found, &error, &unreadable);
        if (!ok || unreadable) {
            std::fprintf(stderr, "qavren: %s\n", error.text);
            ++*failed;
        }
        if (!ok) return false;
        o.end = found->count();
        if (o.end == o.first && !unreadable) {
            std::fprintf(stderr, "qavren: %s: no LightWave object below it\n", operand);
            ++*failed;
        }
    }
    return true;
}

// The plan's inputs in operand order, and for each the part of its path
// below its folder (the operand itself for an operand) in *below. A folder
// without -r is refused.
bool ListInputs(const RenderJob& job, const OwnedArray<Operand>& operands, const PathList& found, Plan* plan,
                OwnedArray<const char*>* below) {
    uint64_t total = 0;
    for (const Operand& o : operands) total += job.recursive && o.folder ? o.end - o.first : 1;
    if (total > INT_MAX || Failed(plan->inputs.Allocate(total)) || Failed(plan->outputs.Allocate(total)) ||
        Failed(plan->refusals.Allocate(total)) || Failed(below->Allocate(total))) {
        return false;
    }
    int k = 0;
    for (int i = 0; i < job.input_count; ++i) {
        const char* operand = job.inputs[i];
        const Operand& o = operands[i];
        if (!(job.recursive && o.folder)) {
            plan->inputs[k] = operand;
            (*below)[k] = operand;
            if (o.folder) plan->refusals[k] = kFolderWithoutR;
            ++k;
            continue;
        }
        const size_t folder_length = std::strlen(operand);
        for (int f = o.first; f < o.end; ++f, ++k) {
            plan->inputs[k] = found.paths()[f];
            // Past the folder's name and the slash after it.
            const char* p = found.paths()[f] + folder_length;
            while (*p == '/') ++p;
            (*below)[k] = p;
        }
    }
    plan->count = k;
    return true;
}

// Each picture's path, kept in plan->owned; refused when it would be too long.
bool NameOutputs(const RenderJob& job, const OwnedArray<const char*>& below, Plan* plan) {
    if (job.output) return true;
    char derived[PATH_MAX];
    for (int k = 0; k < plan->count; ++k) {
        if (plan->refusals[k]) continue;
        if (!DerivedOutput(plan->inputs[k], below[k], job.directory, job.format, derived, sizeof derived)) {
            plan->refusals[k] = kTooLong;
            continue;
        }
        if (!plan->owned.Add(derived, std::strlen(derived))) return false;
        plan->outputs[k] = plan->owned.paths()[plan->owned.count() - 1];
    }
    return true;
}

// Two inputs of one picture would overwrite each other's: the later one is
// refused, naming the earlier.
bool RefuseCollisions(Plan* plan) {
    OwnedArray<int> order;
    if (Failed(order.Allocate(static_cast<uint64_t>(plan->count)))) return false;
    int with_outputs = 0;
    for (int k = 0; k < plan->count; ++k) {
        if (plan->outputs[k]) order[with_outputs++] = k;
    }
    qsort_r(order.data(), static_cast<size_t>(with_outputs), sizeof(int), CompareOutputs, plan->outputs.data());
    for (int k = 1; k < with_outputs; ++k) {
        const int first = order[k - 1];
        const int later = order[k];
        if (std::strcmp(plan->outputs[first], plan->outputs[later]) != 0) continue;
        order[k] = first;  // a third one names the first too
        Message words;
        Format(&words, "not written: %s would overwrite the picture of %s", plan->outputs[later], plan->inputs[first]);
        if (!plan->owned.Add(words.text, std::strlen(words.text))) return false;
        plan->refusals[later] = plan->owned.paths()[plan->owned.count() - 1];
    }
    return true;
}

// The plan in its steps (*failed as ExpandOperands counts); false when
// memory runs out.
bool MakePlan(const RenderJob& job, Plan* plan, int* failed) {
    *failed = 0;
    OwnedArray<Operand> operands;
    OwnedArray<const char*> below;
    return ExpandOperands(job, &operands, &plan->owned, failed) &&
           ListInputs(job, operands, plan->owned, plan, &below) && NameOutputs(job, below, plan) &&
           RefuseCollisions(plan);
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
    if (job.directory && !MakeDirectories(job.directory, &error)) {
        std::fprintf(stderr, "qavren: %s\n", error.text);
        return kExitFailed;
    }
    Plan plan;
    int failed = 0;
    if (!MakePlan(job, &plan, &failed)) {
        std::fprintf(stderr, "qavren: not enough memory to list the objects\n");
        return kExitFailed;
    }
    return RenderAll(job, plan, failed);
}

}  // namespace qavren::cli
