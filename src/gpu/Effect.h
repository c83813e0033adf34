#pragma once
// A shading effect read from a text file. The file is GLSL in stages with a few
// directive lines that give what the models see of it:
//
//   #technique TShader
//   #parameter float4x4 matWorldView
//   #parameter float4 fvEyePosition
//   #parameter texture DiffuseMap
//   #stage vertex      (GLSL up to the next #stage)
//   #stage fragment
//
// Parameters are set by name; the device sees the values when a pass begins and
// on every commitChanges.

#include "base/Math.h"
#include "gpu/Result.h"

#include <cstdint>
#include <string>
#include <vector>

namespace veskar {

class Device;
class Texture;

// Handle of a technique in its effect; 0 is the null handle.
using EffectHandle = std::int32_t;
constexpr EffectHandle kNullHandle = 0;

enum class EffectParameterKind { Matrix, Vector, Texture };

struct EffectParameter {
    std::string name;
    EffectParameterKind kind = EffectParameterKind::Vector;
    float values[16] = {};
    Texture* texture = nullptr;
    bool set = false;
};

class Effect {
public:
    // Fills techniques, parameters and stages from the file text; false with a
    // message in log when a directive is malformed or a stage is missing.
    bool parse(const std::string& text, std::string& log);

    EffectHandle getTechniqueByName(const char* name) const;
    Result setTechnique(EffectHandle technique);
    Result setMatrix(const char* name, const Matrix& value);
    Result setVector(const char* name, const Vector4& value);
    Result setTexture(const char* name, Texture* texture);
    Result begin(std::uint32_t* passCount, std::uint32_t flags);
    Result beginPass(std::uint32_t pass);
    Result commitChanges();
    Result endPass();
    Result end();
    void release();

    const EffectParameter* parameter(const char* name) const;
    EffectParameter* parameter(const char* name);

    std::string path;
    std::vector<std::string> techniques;
    std::vector<EffectParameter> parameters;
    std::string vertexSource;
    std::string fragmentSource;
    // File line of each stage's #stage directive, the stage text's first line,
    // so compiler messages can name lines of the file.
    int vertexFirstLine = 1;
    int fragmentFirstLine = 1;
    EffectHandle currentTechnique = kNullHandle;
    bool inBegin = false;
    bool inPass = false;
    std::uintptr_t backendHandle = 0;
    Device* device = nullptr;
};

} // namespace veskar
