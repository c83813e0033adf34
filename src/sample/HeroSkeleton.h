#pragma once
// The hero's skeleton: Biped's bone names and tree, the bind pose, and where
// his limbs lie. Model space is Z up and the hero faces -Y, so his left is
// +X; he is built in centimetres and written at kSampleScale.

#include "base/Math.h"
#include "sample/SampleCharacter.h"

#include <numbers>
#include <vector>

namespace veskar::sample {

constexpr float kPi = std::numbers::pi_v<float>;

enum Bone {
    kRoot, kPelvis, kSpine, kSpine1, kNeck, kHead,
    kLClavicle, kLUpperArm, kLForearm, kLHand,
    kRClavicle, kRUpperArm, kRForearm, kRHand,
    kLThigh, kLCalf, kLFoot,
    kRThigh, kRCalf, kRFoot,
    kBoneCount
};

struct BoneDef {
    const char* name;
    int parent;
};

extern const BoneDef kBones[kBoneCount];

struct Side {
    float sign; // +1 left (+X), -1 right
    int clavicle, upperArm, forearm, hand, thigh, calf, foot;
};

extern const Side kSides[2];

constexpr float kPelvisHeight = 95.0f;
constexpr float kAnkleHeight = 9.0f;
constexpr float kElbowAt = 28.0f; // distances from the shoulder along the arm
constexpr float kWristAt = 53.0f;
constexpr float kGripAt = 61.0f;
constexpr float kHandEndAt = 69.0f;
// Arms hang 20 degrees out from vertical: relaxed enough to walk, open
// enough that the hands clear the thighs.
constexpr float kArmSpread = 20.0f * kPi / 180.0f;

Vector3 shoulder(const Side& s);
Vector3 armAxis(const Side& s);
Vector3 alongArm(const Side& s, float t);
Vector3 hip(const Side& s);

// Where each bone sits in the bind pose.
Vector3 bindOrigin(int bone);
// Only the root is turned, the way Biped turns Bip01; every other bone keeps
// the model axes in the bind pose. Bones that share a blended vertex then
// differ by a translation only, which keeps the viewer's single averaged bind
// position exact in the rest pose.
Matrix bindWorld(int bone);
// The bind pose as each bone's matrix relative to its parent.
std::vector<Matrix> bindLocals();

// Positions scale, directions and angles stay: the same skeleton and mesh at
// another size.
SmdDocument scaled(SmdDocument doc);

} // namespace veskar::sample
