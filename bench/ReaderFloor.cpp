// What reading and converting a large SMD reference costs at the least, step
// by step, on one thread: walking its lines, finding their fields, parsing
// the numbers as the reader does, welding the corners and formatting the
// mRef. Medians of several runs, in processor time of the thread (the
// machine is shared: wall time counts the waits for a core as well).
//   veskar_reader_floor FILE.smd [RUNS]

#include "convert/CornerWelder.h"
#include "convert/FormatConverter.h"
#include "mref/TextWriter.h"
#include "system/InputFile.h"
#include "import/SmdRecords.h"
#include "import/TextScan.h"

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <span>
#include <string>
#include <vector>

using namespace veskar;

namespace {

double threadMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

double medianMs(int runs, const std::function<void()>& step)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double start = threadMs();
        step();
        times.push_back(threadMs() - start);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

volatile std::uint64_t sink;

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: veskar_reader_floor FILE.smd [RUNS]\n");
        return 2;
    }
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    std::string text, reason;
    if (!readWholeFile(argv[1], text, reason)) {
        std::fprintf(stderr, "%s: %s\n", argv[1], reason.c_str());
        return 1;
    }
    // The vertex lines: the lines of the triangles section that are not material lines.
    std::vector<std::string_view> vertexLines;
    {
        const std::size_t start = text.find("\ntriangles\n");
        std::size_t p = start == std::string::npos ? text.size() : start + 11;
        for (int k = 0; p < text.size(); k = (k + 1) % 4) {
            std::size_t e = text.find('\n', p);
            if (e == std::string::npos) e = text.size();
            const std::string_view line(text.data() + p, e - p);
            if (line == "end") break;
            if (k != 0) vertexLines.push_back(line);
            p = e + 1;
        }
    }
    std::printf("%s: %zu bytes, %zu vertex lines; medians of %d runs, processor time of one thread\n", argv[1], text.size(), vertexLines.size(), runs);

    const double read = medianMs(runs, [&] {
        std::string again;
        std::string why;
        readWholeFile(argv[1], again, why);
        sink = again.size();
    });
    const double lines = medianMs(runs, [&] { sink = countLines(text); });
    const double fields = medianMs(runs, [&] {
        std::uint64_t n = 0;
        for (std::string_view line : vertexLines) {
            bool inField = false;
            for (char c : line) {
                const bool space = isScanSpace(c);
                n += !space && !inField;
                inField = !space;
            }
        }
        sink = n;
    });
    const double numbers = medianMs(runs, [&] {
        float total = 0.0f;
        for (std::string_view line : vertexLines) {
            FieldScanner scan(line);
            std::int32_t i = 0;
            float f = 0.0f;
            scan.readInt(i);
            for (int k = 0; k < 8; ++k) scan.readFloat(f), total += f;
            std::int32_t links = 0;
            if (scan.readInt(links) == ScanStatus::Ok)
                for (std::int32_t k = 0; k < links; ++k) scan.readInt(i), scan.readFloat(f), total += f;
        }
        sink = static_cast<std::uint64_t>(total);
    });
    SmdModelRecords model;
    model.buildPoseMatrices = false;
    model.readerThreads = 1;
    double readInOrder = medianMs(1, [&] { model.readReference(text, argv[1]); });
    const SmdMesh& mesh = model.meshes[0];
    // As the converter welds: blocks of 8192 triangles packed and hashed
    // (on the reading lanes), then looked up in order; buffers reused.
    CornerWelder welder;
    PreparedCorners prepared;
    std::vector<double> prepares, adds;
    for (int r = 0; r < runs; ++r) {
        welder.clear();
        welder.expect(static_cast<std::int32_t>(mesh.triangles.size()));
        double prepare = 0.0, add = 0.0;
        const std::span<const SmdTriangle> all(mesh.triangles);
        for (std::size_t b = 0; b < all.size(); b += 8192) {
            const double t0 = threadMs();
            prepared.prepare(all.subspan(b, std::min<std::size_t>(8192, all.size() - b)), mesh.linkPool);
            const double t1 = threadMs();
            welder.add(prepared);
            add += threadMs() - t1;
            prepare += t1 - t0;
        }
        prepares.push_back(prepare);
        adds.push_back(add);
    }
    std::sort(prepares.begin(), prepares.end());
    std::sort(adds.begin(), adds.end());
    const double weldPrepare = prepares[prepares.size() / 2], weld = adds[adds.size() / 2];
    const double format = medianMs(runs, [&] {
        TextWriter out;
        for (std::size_t j = 0; j < welder.vertices.size(); ++j) putWeldedVertex(out, welder, j);
        for (const TriangleIndices& t : welder.triangles) out.putInt(t.a).put(' ').putInt(t.b).put(' ').putInt(t.c).put('\n');
        sink = out.size();
    });
    std::printf("  read the file into memory      %8.1f ms\n", read);
    std::printf("  walk its lines (memchr)        %8.1f ms\n", lines);
    std::printf("  find the vertex lines' fields  %8.1f ms\n", fields);
    std::printf("  parse their numbers (scanner)  %8.1f ms\n", numbers);
    std::printf("  whole read, in order, in memory%8.1f ms (one run)\n", readInOrder);
    std::printf("  pack and hash %zu corners     %8.1f ms\n", mesh.triangles.size() * 3, weldPrepare);
    std::printf("  weld them in order             %8.1f ms -> %zu vertices\n", weld, welder.vertices.size());
    std::printf("  format the mRef vertices+index %8.1f ms\n", format);
    return 0;
}
