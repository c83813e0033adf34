// veskar-sample: writes the bundled sample character and large benchmark
// inputs as SMD files.

#include "sample/LargeSmd.h"
#include "sample/SampleCharacter.h"
#include "system/ProgramEntry.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int kExitUsage = 2;

const char kSynopsis[] =
    "usage: veskar-sample character DIR\n"
    "       veskar-sample large-ref FILE [--triangles N] [--bones B] [--seed S] [--links L]\n"
    "       veskar-sample outside-ref FILE [--triangles N] [--bones B] [--seed S] [--links L]\n"
    "       veskar-sample large-ani FILE [--bones B] [--frames F]\n"
    "       veskar-sample --help\n";

const char kDetails[] =
    "\n"
    "character  writes hero.smd (a skinned biped), walk.smd (a 32-frame walk\n"
    "           in place), weapon.smd (a sword for the left hand) and their PNG\n"
    "           textures into DIR, creating it if needed.\n"
    "large-ref  writes a reference SMD of N triangles (default 200000) on a\n"
    "           chain of B bones (default 50); S (default 1) picks the variant;\n"
    "           L (1 to 4) gives every corner L links instead of 1 to 4 by region.\n"
    "outside-ref  writes the same mesh as large-ref laid out as another\n"
    "           exporter writes it: shortest decimals, groups set apart by two\n"
    "           blanks, links by bone number and none for a corner on one\n"
    "           bone, four materials by region.\n"
    "large-ani  writes an animation SMD of F frames (default 2000) for B bones\n"
    "           (default 50), the same chain as large-ref.\n"
    "\n"
    "Every file written is printed on its own line.\n";

int usageError(const std::string& message)
{
    std::fprintf(stderr, "veskar-sample: %s\n%s", message.c_str(), kSynopsis);
    return kExitUsage;
}

int failure(const std::string& message)
{
    std::fprintf(stderr, "veskar-sample: %s\n", message.c_str());
    return 1;
}

template <typename Number>
bool parseNumber(std::string_view text, Number& value)
{
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end;
}

// Options after the file name: each a name from `allowed` and a number.
struct OptionValues {
    long long triangles = -1, bones = -1, frames = -1, links = 0;
    unsigned long long seed = 1;
    bool seen[5] = {false, false, false, false, false};
};

bool parseOptions(int argc, char** argv, int first, std::initializer_list<std::string_view> allowed, OptionValues& values, std::string& error)
{
    static const std::string_view kNames[5] = {"--triangles", "--bones", "--frames", "--seed", "--links"};
    for (int i = first; i < argc; i += 2) {
        const std::string_view name = argv[i];
        int which = -1;
        for (int k = 0; k < 5; ++k)
            if (name == kNames[k]) which = k;
        bool known = false;
        for (std::string_view a : allowed) known = known || a == name;
        if (which < 0 || !known) {
            error = "unknown option " + std::string(name);
            return false;
        }
        if (values.seen[which]) {
            error = std::string(name) + " given twice";
            return false;
        }
        values.seen[which] = true;
        if (i + 1 >= argc) {
            error = std::string(name) + " needs a value";
            return false;
        }
        const std::string_view text = argv[i + 1];
        const bool ok = which == 0   ? parseNumber(text, values.triangles)
                        : which == 1 ? parseNumber(text, values.bones)
                        : which == 2 ? parseNumber(text, values.frames)
                        : which == 3 ? parseNumber(text, values.seed)
                                     : parseNumber(text, values.links);
        if (!ok) {
            error = std::string(name) + " needs a whole number, not '" + std::string(text) + "'";
            return false;
        }
    }
    return true;
}

bool fitsInt(long long v) { return v >= 0 && v <= 0x7fffffff; }

int runCharacter(int argc, char** argv)
{
    if (argc != 3) return usageError("character takes exactly one directory");
    std::vector<std::string> written;
    std::string error;
    const bool ok = veskar::sample::writeCharacterSet(argv[2], written, error);
    for (const std::string& path : written) std::printf("%s\n", path.c_str());
    if (!ok) return failure(error);
    return 0;
}

int runLargeReference(int argc, char** argv, bool outside)
{
    if (argc < 3 || argv[2][0] == '-') return usageError(std::string(argv[1]) + " needs a file name");
    OptionValues values;
    std::string error;
    if (!parseOptions(argc, argv, 3, {"--triangles", "--bones", "--seed", "--links"}, values, error)) return usageError(error);
    veskar::sample::LargeReferenceOptions options;
    options.outside = outside;
    if (values.links < 0 || values.links > 4) return usageError("--links must lie between 1 and 4");
    options.links = static_cast<int>(values.links);
    if (values.seen[0]) options.triangles = values.triangles;
    if (values.seen[1]) {
        if (!fitsInt(values.bones)) return usageError("--bones is out of range");
        options.bones = static_cast<int>(values.bones);
    }
    options.seed = values.seed;
    if (options.triangles < 1 || options.triangles > veskar::sample::kMaxLargeTriangles)
        return usageError("--triangles must lie between 1 and " + std::to_string(veskar::sample::kMaxLargeTriangles));
    if (options.bones < 1 || options.bones > veskar::sample::kMaxLargeBones)
        return usageError("--bones must lie between 1 and " + std::to_string(veskar::sample::kMaxLargeBones));
    if (!veskar::sample::writeLargeReference(argv[2], options, error)) return failure(error);
    std::printf("%s\n", argv[2]);
    return 0;
}

int runLargeAnimation(int argc, char** argv)
{
    if (argc < 3 || argv[2][0] == '-') return usageError("large-ani needs a file name");
    OptionValues values;
    std::string error;
    if (!parseOptions(argc, argv, 3, {"--bones", "--frames"}, values, error)) return usageError(error);
    veskar::sample::LargeAnimationOptions options;
    if (values.seen[1]) {
        if (!fitsInt(values.bones)) return usageError("--bones is out of range");
        options.bones = static_cast<int>(values.bones);
    }
    if (values.seen[2]) {
        if (!fitsInt(values.frames)) return usageError("--frames is out of range");
        options.frames = static_cast<int>(values.frames);
    }
    if (options.bones < 1 || options.bones > veskar::sample::kMaxLargeBones)
        return usageError("--bones must lie between 1 and " + std::to_string(veskar::sample::kMaxLargeBones));
    if (options.frames < 1 || static_cast<long long>(options.frames) * options.bones > veskar::sample::kMaxLargeBoneKeys)
        return usageError("--frames must be at least 1 and bones x frames at most " + std::to_string(veskar::sample::kMaxLargeBoneKeys));
    if (!veskar::sample::writeLargeAnimation(argv[2], options, error)) return failure(error);
    std::printf("%s\n", argv[2]);
    return 0;
}

} // namespace

int veskar::programMain(int argc, char** argv)
{
    if (argc < 2) return usageError("no command given");
    const std::string_view command = argv[1];
    bool help = command == "help";
    for (int i = 1; i < argc; ++i) help = help || std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0;
    if (help) {
        std::fputs(kSynopsis, stdout);
        std::fputs(kDetails, stdout);
        return 0;
    }
    if (command == "character") return runCharacter(argc, argv);
    if (command == "large-ref" || command == "outside-ref") return runLargeReference(argc, argv, command == "outside-ref");
    if (command == "large-ani") return runLargeAnimation(argc, argv);
    return usageError("unknown command " + std::string(command));
}
