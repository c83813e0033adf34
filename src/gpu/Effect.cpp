#include "gpu/Effect.h"

#include "gpu/Device.h"

#include <cstring>
#include <sstream>

namespace veskar {

namespace {

std::string trim(const std::string& s)
{
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    const auto last = s.find_last_not_of(" \t\r\n");
    return s.substr(first, last - first + 1);
}

} // namespace

bool Effect::parse(const std::string& text, std::string& log)
{
    techniques.clear();
    parameters.clear();
    vertexSource.clear();
    fragmentSource.clear();
    vertexFirstLine = fragmentFirstLine = 1;
    std::string* stage = nullptr;
    std::istringstream in(text);
    std::string line;
    int lineNumber = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        const std::string t = trim(line);
        if (t.rfind("#technique", 0) == 0 || t.rfind("#parameter", 0) == 0 || t.rfind("#stage", 0) == 0) {
            std::istringstream words(t);
            std::string directive, a, b;
            words >> directive >> a >> b;
            if (directive == "#technique" && !a.empty()) {
                techniques.push_back(a);
            } else if (directive == "#parameter" && !b.empty()) {
                EffectParameter p;
                p.name = b;
                if (a == "float4x4") p.kind = EffectParameterKind::Matrix;
                else if (a == "float4") p.kind = EffectParameterKind::Vector;
                else if (a == "texture") p.kind = EffectParameterKind::Texture;
                else {
                    log += path + ":" + std::to_string(lineNumber) + ": unknown parameter kind '" + a + "'\n";
                    return false;
                }
                parameters.push_back(p);
            } else if (directive == "#stage" && a == "vertex") {
                stage = &vertexSource;
                if (stage->empty()) vertexFirstLine = lineNumber;
            } else if (directive == "#stage" && a == "fragment") {
                stage = &fragmentSource;
                if (stage->empty()) fragmentFirstLine = lineNumber;
            } else {
                log += path + ":" + std::to_string(lineNumber) + ": malformed directive '" + t + "'\n";
                return false;
            }
            if (stage) *stage += "\n";  // keeps the GLSL line numbers of the file
            continue;
        }
        if (stage) *stage += line + "\n";
    }
    if (techniques.empty()) {
        log += path + ": no #technique declared\n";
        return false;
    }
    if (trim(vertexSource).empty() || trim(fragmentSource).empty()) {
        log += path + ": a vertex and a fragment stage are both needed\n";
        return false;
    }
    return true;
}

EffectHandle Effect::getTechniqueByName(const char* name) const
{
    if (!name) return kNullHandle;
    for (std::size_t i = 0; i < techniques.size(); ++i)
        if (techniques[i] == name) return static_cast<EffectHandle>(i + 1);
    return kNullHandle;
}

Result Effect::setTechnique(EffectHandle technique)
{
    if (technique <= 0 || technique > static_cast<EffectHandle>(techniques.size())) return kInvalidCall;
    currentTechnique = technique;
    return kOk;
}

const EffectParameter* Effect::parameter(const char* name) const
{
    if (!name) return nullptr;
    for (const auto& p : parameters)
        if (p.name == name) return &p;
    return nullptr;
}

EffectParameter* Effect::parameter(const char* name)
{
    return const_cast<EffectParameter*>(static_cast<const Effect*>(this)->parameter(name));
}

Result Effect::setMatrix(const char* name, const Matrix& value)
{
    EffectParameter* p = parameter(name);
    if (!p || p->kind != EffectParameterKind::Matrix) return kInvalidCall;
    std::memcpy(p->values, value.m, sizeof p->values);
    p->set = true;
    return kOk;
}

Result Effect::setVector(const char* name, const Vector4& value)
{
    EffectParameter* p = parameter(name);
    if (!p || p->kind != EffectParameterKind::Vector) return kInvalidCall;
    p->values[0] = value.x;
    p->values[1] = value.y;
    p->values[2] = value.z;
    p->values[3] = value.w;
    p->set = true;
    return kOk;
}

Result Effect::setTexture(const char* name, Texture* texture)
{
    EffectParameter* p = parameter(name);
    if (!p || p->kind != EffectParameterKind::Texture) return kInvalidCall;
    p->texture = texture;
    p->set = true;
    return kOk;
}

Result Effect::begin(std::uint32_t* passCount, std::uint32_t)
{
    if (currentTechnique == kNullHandle || inBegin) return kInvalidCall;
    inBegin = true;
    if (passCount) *passCount = 1;
    return kOk;
}

Result Effect::beginPass(std::uint32_t pass)
{
    if (!inBegin || inPass || pass != 0) return kInvalidCall;
    inPass = true;
    device->activeEffect_ = this;
    device->applyEffect(*this);
    return kOk;
}

Result Effect::commitChanges()
{
    if (!inPass) return kInvalidCall;
    device->applyEffect(*this);
    return kOk;
}

Result Effect::endPass()
{
    if (!inPass) return kInvalidCall;
    inPass = false;
    device->finishEffect(*this);
    if (device->activeEffect_ == this) device->activeEffect_ = nullptr;
    return kOk;
}

Result Effect::end()
{
    if (!inBegin) return kInvalidCall;
    if (inPass) endPass();
    inBegin = false;
    return kOk;
}

void Effect::release()
{
    if (device) device->releaseEffect(this);
    else delete this;
}

} // namespace veskar
