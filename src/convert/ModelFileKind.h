#pragma once
// What a model file holds, told from its content: the converter takes SMD and
// engine files by what they are, whatever their names say.

#include <string_view>

namespace veskar {

class LineCursor;

enum class ModelFileKind { Unknown, SmdReference, SmdAnimation, MRef, MAni };

// An engine file by its second line; an SMD file is an animation when it has
// frames and at most one triangle, a reference otherwise. Unknown when the
// first line (after comments and blank lines) is not "version".
// The cursor is left somewhere in the file; a line too long or a zero byte
// stops it (its failure() says so) and gives Unknown or a guess.
ModelFileKind guessModelFileKind(LineCursor& cursor);
ModelFileKind guessModelFileKind(std::string_view text);

// A reference beyond doubt: an mRef, or an SMD reference with a triangles
// section. A file cut short, or one with nodes and no frames, is a reference
// only by default, and a command that takes files by kind refuses it as what
// it was given for rather than as a reference of its own.
bool isWholeReference(LineCursor& cursor);

inline bool isReferenceKind(ModelFileKind k) { return k == ModelFileKind::SmdReference || k == ModelFileKind::MRef; }
inline bool isAnimationKind(ModelFileKind k) { return k == ModelFileKind::SmdAnimation || k == ModelFileKind::MAni; }

} // namespace veskar
