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

inline bool isAnimationKind(ModelFileKind k) { return k == ModelFileKind::SmdAnimation || k == ModelFileKind::MAni; }

} // namespace veskar
