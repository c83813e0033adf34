#pragma once
// The two engine format readers: text into the records of one mesh or
// animation, with the model's header fields as the file gave them. Preparing
// the drawable copies, the axis change, the device and what to show are the
// caller's (see EngineModelRecords::readReference and readAnimation).

#include "mref/EngineRecords.h"
#include "import/ReaderFrame.h"

#include <string>

namespace veskar {

// What the mRef and mAni readers share: the model's records and the two
// lines both formats open with.
class EngineModelReader : public ModelReader<EngineModelRecords, EngineReadResult, kEngineRead, kEngineMalformed> {
protected:
    using ModelReader::ModelReader;
    // "version 1", then kind ("ref" or "ani") as the second line's first word.
    EngineReadResult readOpeningLines(const char* kind);
};

EngineReadResult readMRef(EngineModelRecords& model, EngineMesh& mesh, LineCursor& lines, const std::string& file, ReadSummary& summary);
EngineReadResult readMAni(EngineModelRecords& model, EngineAnimation& animation, LineCursor& lines, const std::string& file, ReadSummary& summary);

// The bone palette: the read skeleton's world matrices, before the axis change.
void fillBonePalette(EngineMesh& mesh);
// For drawing: the bone palette, the bind and rest copies of every vertex
// from the read skeleton (the rest copy through the axis change) and the
// skinning stream.
void prepareEngineMesh(EngineMesh& mesh, const Matrix& axis);

} // namespace veskar
