#pragma once
// The two SMD readers: text into the records of one mesh or animation slot,
// with the model's first-pass fields (counts, material names, header) as the
// file gave them. Posing, the axis change, the device and what to show are
// the caller's (see SmdModelRecords::readReference and readAnimation).

#include "import/ReaderFrame.h"
#include "import/SmdRecords.h"

#include <string>

namespace veskar {

using SmdReaderFrame = ReaderFrame<SmdReadResult, kSmdRead, kSmdMalformed>;
using SmdModelReader = ModelReader<SmdModelRecords, SmdReadResult, kSmdRead, kSmdMalformed>;

SmdReadResult readSmdReference(SmdModelRecords& model, SmdMesh& mesh, LineCursor& lines, const std::string& file, ReadSummary& summary);
SmdReadResult readSmdAnimation(SmdModelRecords& model, SmdAnimation& animation, LineCursor& lines, const std::string& file, ReadSummary& summary);
// The same lines with the same refusals into keys instead of frame tables.
SmdReadResult readSmdAnimationKeys(SmdModelRecords& model, AnimationKeys& keys, LineCursor& lines, const std::string& file, ReadSummary& summary);

} // namespace veskar
