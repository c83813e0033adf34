#include "import/SmdSections.h"

#include <limits>

namespace veskar {

bool readSmdHeader(LineCursor& cursor, std::string& token, std::int32_t& headerValue)
{
    std::string_view line;
    while (cursor.next(line)) {
        const std::string_view word = firstWord(line);
        if (word.empty() || word.substr(0, 2) == "//") continue;
        FieldScanner scan(line);
        std::string_view w;
        scan.readWord(w);
        token.assign(w);
        std::int32_t value = 0;
        if (scan.readInt(value) != ScanStatus::Ok) return false;
        headerValue = value;
        return equalsIgnoringCase(w, "version") && value == 1;
    }
    token.clear();
    return false;
}

bool countSmdSections(LineCursor& cursor, SmdCounts& counts, std::vector<std::string>& names)
{
    std::string_view line;
    std::size_t namesWritten = 0;
    while (cursor.next(line)) {
        const std::string_view word = firstWord(line);
        if (equalsIgnoringCase(word, "nodes")) {
            while (cursor.next(line) && !firstWordIs(line, "end")) {
                // A line without a number is refused by the reading pass.
                FieldScanner scan(line);
                std::int32_t number = 0;
                if (scan.readInt(number) == ScanStatus::Ok) counts.nodeNumbers.push_back(number);
            }
        } else if (equalsIgnoringCase(word, "skeleton")) {
            if (!counts.skeletonLine) counts.skeletonLine = cursor.lineNumber();
            while (cursor.next(line)) {
                if (firstWordIs(line, "end")) break;
                if (!firstWordIs(line, "time")) continue;
                ++counts.frameCount;
                FieldScanner scan(line);
                std::string_view skip;
                scan.readWord(skip);
                std::int32_t number = 0;
                if (scan.readInt(number) != ScanStatus::Ok) {
                    if (!counts.frameLineWithoutNumber) counts.frameLineWithoutNumber = cursor.lineNumber();
                    number = -1;
                }
                counts.frameNumbers.push_back(number);
            }
        } else if (equalsIgnoringCase(word, "triangles")) {
            if (counts.stopAtTriangles) {
                counts.trianglesLine = cursor.lineNumber();
                break;
            }
            // The previous name is compared from its copy: a line read from a
            // file does not outlive the next one.
            const std::size_t runStart = namesWritten;
            TriangleSection section;
            section.first = counts.triangleCount;
            for (;;) {
                const std::uint64_t offset = cursor.offset();
                const long linesBefore = cursor.lineNumber();
                if (!cursor.next(line)) break;
                const std::string_view material = firstWord(line);
                if (equalsIgnoringCase(material, "end")) break;
                if (namesWritten == runStart || material != names[namesWritten - 1]) {
                    if (namesWritten < names.size()) names[namesWritten].assign(material);
                    else names.emplace_back(material);
                    ++namesWritten;
                    ++counts.materialCount;
                }
                int read = 0;
                bool sectionEnded = false;
                while (read < 3 && cursor.next(line)) {
                    if (firstWordIs(line, "end")) {
                        sectionEnded = true;
                        break;
                    }
                    ++read;
                }
                // A short last triangle is not counted; the reading pass refuses it.
                if (read == 3) {
                    if (counts.markSpacing > 0 && section.count > 0 && section.count % counts.markSpacing == 0)
                        section.marks.push_back({offset, linesBefore, counts.triangleCount});
                    ++counts.triangleCount;
                    ++section.count;
                }
                if (sectionEnded || read < 3) break;
            }
            counts.triangleSections.push_back(std::move(section));
        }
    }
    counts.nodes.build(counts.nodeNumbers);
    return true;
}

} // namespace veskar
