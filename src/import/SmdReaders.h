#pragma once
// The two SMD readers: text into the records of one mesh or animation slot,
// with the model's first-pass fields (counts, material names, header) as the
// file gave them. Posing, the axis change, the device and what to show are
// the caller's (see SmdModel::readReference and readAnimation).

#include "import/ReaderFrame.h"
#include "import/SmdModel.h"

#include <string>

namespace veskar {

using SmdReaderFrame = ReaderFrame<SmdReadResult, kSmdRead, kSmdMalformed>;
using SmdModelReader = ModelReader<SmdModel, SmdReadResult, kSmdRead, kSmdMalformed>;

SmdReadResult readSmdReference(SmdModel& model, SmdMesh& mesh, LineCursor& lines, const std::string& file, ReadSummary& summary);
SmdReadResult readSmdAnimation(SmdModel& model, SmdAnimation& animation, LineCursor& lines, const std::string& file, ReadSummary& summary);
// The same lines with the same refusals into keys instead of frame tables.
SmdReadResult readSmdAnimationKeys(SmdModel& model, AnimationKeys& keys, LineCursor& lines, const std::string& file, ReadSummary& summary);

} // namespace veskar
