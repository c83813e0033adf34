// A glTF animation sampled into keys a skeleton line each: every channel
// evaluated as glTF defines STEP, LINEAR (rotations by spherical
// interpolation, the short way) and CUBICSPLINE (the cubic Hermite with the
// file's tangents), the nodes posed, and each skeleton node's pose taken as
// the rest pose is.

#include "gltf/GltfAccessors.h"
#include "gltf/GltfReadParts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>

namespace veskar {

namespace {

enum class Path { Translation, Rotation };
enum class Curve { Step, Linear, Cubic };

constexpr AccessorUse kTimes{TINYGLTF_TYPE_SCALAR, true};
constexpr AccessorUse kTranslations{TINYGLTF_TYPE_VEC3, true};
constexpr AccessorUse kRotations{TINYGLTF_TYPE_VEC4, true, true, true};

struct Channel {
    std::size_t node;
    Path path;
    Curve curve;
    std::vector<float> times;
    std::vector<float> values;   // a key each, or (in-tangent, value, out-tangent) for cubic
    std::size_t width;           // 3 or 4
};

// A channel's value at time t, into out (width numbers).
void evaluate(const Channel& c, double t, double out[4])
{
    const std::size_t n = c.times.size();
    const std::size_t w = c.width;
    const auto key = [&](std::size_t k) { return &c.values[(c.curve == Curve::Cubic ? 3 * k + 1 : k) * w]; };
    const auto copy = [&](const float* v) {
        for (std::size_t e = 0; e < w; ++e) out[e] = v[e];
    };
    if (t <= c.times[0] || n == 1) return copy(key(0));
    if (t >= c.times[n - 1]) return copy(key(n - 1));
    // times[0] <= t < times[n - 1]: the key at or before t has one after it.
    const auto after = std::upper_bound(c.times.begin(), c.times.end(), t, [](double a, float b) { return a < b; });
    const std::size_t k = std::min(static_cast<std::size_t>(after - c.times.begin()) - 1, n - 2);
    const double t0 = c.times[k], t1 = c.times[k + 1];
    const double s = std::clamp((t - t0) / (t1 - t0), 0.0, 1.0);
    if (c.curve == Curve::Step) return copy(key(k));
    if (c.curve == Curve::Linear) {
        if (c.path == Path::Rotation) {
            double a[4], b[4];
            for (std::size_t e = 0; e < 4; ++e) a[e] = key(k)[e], b[e] = key(k + 1)[e];
            normaliseQuaternion(a);
            normaliseQuaternion(b);
            return slerp(a, b, s, out);
        }
        for (std::size_t e = 0; e < w; ++e) out[e] = (1 - s) * key(k)[e] + s * key(k + 1)[e];
        return;
    }
    const double span = t1 - t0, s2 = s * s, s3 = s2 * s;
    const float* outTangent = &c.values[(3 * k + 2) * w];
    const float* inTangent = &c.values[(3 * (k + 1)) * w];
    for (std::size_t e = 0; e < w; ++e)
        out[e] = (2 * s3 - 3 * s2 + 1) * key(k)[e] + span * (s3 - 2 * s2 + s) * outTangent[e] + (-2 * s3 + 3 * s2) * key(k + 1)[e] +
                 span * (s3 - s2) * inTangent[e];
    if (c.path == Path::Rotation) normaliseQuaternion(out);
}

GltfSchemaFault readChannels(const tinygltf::Model& model, int index, std::vector<Channel>& channels, double& duration, GltfKeyBudget& budget,
                             GltfLeftOut& leftOut)
{
    const tinygltf::Animation& animation = model.animations[static_cast<std::size_t>(index)];
    const std::string place = "/animations/" + std::to_string(index);
    duration = 0;
    for (const tinygltf::AnimationChannel& channel : animation.channels) {
        if (channel.target_node < 0) continue;
        const std::string& path = channel.target_path;
        if (path == "scale") ++leftOut.scaleChannels;
        else if (path == "weights") ++leftOut.weightChannels;
        else if (path != "translation" && path != "rotation") ++leftOut.otherChannels;
        if (path != "translation" && path != "rotation") continue;
        const std::string at = place + "/samplers/" + std::to_string(channel.sampler);
        const tinygltf::AnimationSampler& sampler = animation.samplers[static_cast<std::size_t>(channel.sampler)];
        Channel c;
        c.node = static_cast<std::size_t>(channel.target_node);
        c.path = path == "rotation" ? Path::Rotation : Path::Translation;
        c.width = c.path == Path::Rotation ? 4 : 3;
        if (sampler.interpolation == "STEP") c.curve = Curve::Step;
        else if (sampler.interpolation == "LINEAR") c.curve = Curve::Linear;
        else if (sampler.interpolation == "CUBICSPLINE") c.curve = Curve::Cubic;
        else return {at + "/interpolation", "\"" + recordName(sampler.interpolation) + "\" is not LINEAR, STEP or CUBICSPLINE"};
        if (std::string why = readAccessorFloats(model, sampler.input, kTimes, c.times); !why.empty()) return {at + "/input", why};
        for (std::size_t k = 1; k < c.times.size(); ++k)
            if (!(c.times[k] > c.times[k - 1]))
                return {at + "/input", "key " + std::to_string(k) + " at " + std::to_string(c.times[k]) + " s does not come after the key before it"};
        const AccessorUse& use = c.path == Path::Rotation ? kRotations : kTranslations;
        if (std::string why = readAccessorFloats(model, sampler.output, use, c.values); !why.empty()) return {at + "/output", why};
        const std::size_t expected = c.times.size() * (c.curve == Curve::Cubic ? 3 : 1) * c.width;
        if (c.values.size() != expected)
            return {at + "/output", std::to_string(c.values.size() / c.width) + " values for " + std::to_string(c.times.size()) + " keys"};
        const std::size_t taken = c.times.size() + c.values.size();
        if (taken > budget.keyValues) return {at, "the animations' keys hold more than " + std::to_string(kGltfMostKeyValues) + " numbers in all"};
        budget.keyValues -= taken;
        duration = std::max(duration, static_cast<double>(c.times.back()));
        channels.push_back(std::move(c));
    }
    return {};
}

} // namespace

GltfSchemaFault sampleGltfAnimation(const tinygltf::Model& model, int index, const GltfHierarchy& h, const GltfSkeleton& s, const GltfReadOptions& options,
                                    GltfKeyBudget& budget, GltfAnimationRead& out, GltfLeftOut& leftOut)
{
    const std::string place = "/animations/" + std::to_string(index);
    std::vector<Channel> channels;
    double duration = 0;
    try {
        if (GltfSchemaFault f = readChannels(model, index, channels, duration, budget, leftOut); !f.empty()) return f;
    } catch (const std::bad_alloc&) {
        return {place, "not enough memory for its keys"};
    }
    // Key k at k / fps seconds, from 0 to the last key of any channel.
    const double frames = std::floor(duration * options.fps + 0.5) + 1;
    const std::size_t nodes = s.node.size();
    const double keysAll = frames * static_cast<double>(std::max<std::size_t>(h.parent.size(), 1));
    if (!(keysAll <= static_cast<double>(budget.keys))) {
        char rate[80];
        std::snprintf(rate, sizeof rate, "%g s at %g keys a second", duration, options.fps);
        return {place, std::string(rate) + " on " + std::to_string(h.parent.size()) + " nodes are more keys than the " + std::to_string(kGltfMostKeys) +
                           " the animations may have in all"};
    }
    budget.keys -= static_cast<std::size_t>(keysAll);
    out.index = index;
    out.name = model.animations[static_cast<std::size_t>(index)].name;
    AnimationKeys& keys = out.keys;
    keys.clear();
    keys.frameCount = static_cast<std::int32_t>(frames);
    keys.nodeCount = static_cast<std::int32_t>(nodes);
    keys.names = s.names;
    keys.parents = s.parent;
    try {
        keys.values.assign(static_cast<std::size_t>(keys.frameCount) * nodes * AnimationKeys::kValuesPerKey, 0.0f);
    } catch (const std::bad_alloc&) {
        keys.clear();
        return {place, "not enough memory for its keys"};
    }
    std::vector<Trs> locals;
    for (std::int32_t f = 0; f < keys.frameCount; ++f) {
        locals = h.rest;
        const double t = std::min(f / options.fps, duration);
        for (const Channel& c : channels) {
            double value[4];
            evaluate(c, t, value);
            double* into = c.path == Path::Rotation ? locals[c.node].r : locals[c.node].t;
            std::copy(value, value + c.width, into);
        }
        const std::vector<Transform> world = worldTransforms(h, locals);
        poseSkeleton(h, s, locals, world, options.scale, keys.values.data() + static_cast<std::size_t>(f) * nodes * AnimationKeys::kValuesPerKey);
    }
    return {};
}

} // namespace veskar
