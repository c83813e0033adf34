// The hero's mesh and his sword: tubes and boxes on the skeleton, skinned to
// one or two bones a vertex, in two material runs.

#include "sample/HeroSkeleton.h"
#include "sample/MeshBuilder.h"

#include <utility>

namespace veskar::sample {
namespace {

// Texture regions. v runs up the image as the SMD format has it: v = 0 is
// the bottom row of the picture.
constexpr UvRect kShirt{0.0f, 0.52f, 1.0f, 1.0f};
// Sleeves take the back of the shirt, clear of the belt and the emblem.
constexpr UvRect kSleeve{0.45f, 0.97f, 0.95f, 0.60f};
constexpr UvRect kShirtPatch{0.40f, 0.62f, 0.60f, 0.72f};
constexpr UvRect kPantsDown{0.0f, 0.50f, 1.0f, 0.14f};
constexpr UvRect kPantsPatch{0.05f, 0.20f, 0.20f, 0.35f};
constexpr UvRect kBoots{0.05f, 0.01f, 0.95f, 0.12f};
constexpr UvRect kFace{0.0f, 0.0f, 1.0f, 1.0f};
constexpr UvRect kNeckSkin{0.0f, 0.0f, 1.0f, 0.12f};
constexpr UvRect kSkinPatch{0.30f, 0.02f, 0.45f, 0.12f};
constexpr UvRect kHair{0.55f, 0.86f, 0.95f, 0.98f};
constexpr UvRect kBlade{0.0f, 0.0f, 0.48f, 1.0f};
constexpr UvRect kLeather{0.52f, 0.0f, 0.73f, 1.0f};
constexpr UvRect kGoldLow{0.78f, 0.05f, 0.97f, 0.45f};
constexpr UvRect kGoldHigh{0.78f, 0.55f, 0.97f, 0.95f};

// Vertical tubes put their front (-Y) at u = 0.25, where the face and the
// chest emblem are painted.
const Vector3 kFrontAtQuarter{-1.0f, 0.0f, 0.0f};

// Every part of the body but the neck, and the sword's handle, is a tube
// closed flat at both ends.
Tube cappedTube(Vector3 origin, Vector3 axis, Vector3 sideHint, int segments, UvRect uv, UvRect capUv)
{
    Tube t;
    t.origin = origin;
    t.axis = axis;
    t.sideHint = sideHint;
    t.segments = segments;
    t.uv = uv;
    t.startCap = Cap::Flat;
    t.endCap = Cap::Flat;
    t.capUv = capUv;
    return t;
}

void addTorso(MeshBuilder& mesh)
{
    Tube t = cappedTube({0, 0, 0}, {0, 0, 1}, kFrontAtQuarter, 16, kShirt, kShirtPatch);
    t.rings = {
        {84, 14.0f, 10.0f, rigid(kPelvis)},
        {92, 15.5f, 10.5f, rigid(kPelvis)},
        {100, 14.5f, 10.0f, blend(kPelvis, 0.5f, kSpine)},
        {110, 14.0f, 9.5f, rigid(kSpine)},
        {120, 15.0f, 10.0f, blend(kSpine1, 0.5f, kSpine)},
        {131, 17.0f, 11.0f, rigid(kSpine1)},
        {140, 18.0f, 10.5f, rigid(kSpine1)},
        {146, 13.0f, 8.0f, blend(kSpine1, 0.6f, kNeck)},
    };
    mesh.tube(t);
}

void addArm(MeshBuilder& mesh, const Side& s)
{
    Tube t = cappedTube(shoulder(s), armAxis(s), {s.sign, 0, 0}, 10, kSleeve, kShirtPatch);
    t.rings = {
        {-4, 5.6f, 5.6f, blend(s.upperArm, 0.7f, s.clavicle)},
        {3, 5.6f, 5.6f, rigid(s.upperArm)},
        {14, 5.0f, 5.0f, rigid(s.upperArm)},
        {24, 4.4f, 4.4f, rigid(s.upperArm)},
        {kElbowAt, 4.2f, 4.2f, blend(s.upperArm, 0.5f, s.forearm)},
        {32, 4.1f, 4.1f, rigid(s.forearm)},
        {44, 3.6f, 3.6f, rigid(s.forearm)},
        {kWristAt, 3.0f, 3.0f, blend(s.hand, 0.5f, s.forearm)},
    };
    mesh.tube(t);
}

void addLeg(MeshBuilder& mesh, const Side& s)
{
    Tube t = cappedTube(hip(s), {0, 0, -1}, {1, 0, 0}, 10, kPantsDown, kPantsPatch);
    auto ring = [](float at, float r, Skin skin) { return Ring{at, r, r * 1.05f, skin}; };
    t.rings = {
        ring(-4, 8.5f, blend(s.thigh, 0.6f, kPelvis)),
        ring(5, 8.2f, rigid(s.thigh)),
        ring(18, 7.2f, rigid(s.thigh)),
        ring(32, 6.0f, rigid(s.thigh)),
        ring(42, 5.6f, blend(s.thigh, 0.5f, s.calf)),
        ring(50, 5.4f, rigid(s.calf)),
        ring(62, 5.2f, rigid(s.calf)),
        ring(74, 4.2f, rigid(s.calf)),
        ring(82, 3.9f, blend(s.calf, 0.5f, s.foot)),
    };
    mesh.tube(t);
}

void addFoot(MeshBuilder& mesh, const Side& s)
{
    const float x = 9.0f * s.sign;
    Box box;
    box.uv = kBoots;
    for (int i = 0; i < 8; ++i) {
        const bool outer = (i & 1) != 0, heel = (i & 2) != 0, top = (i & 4) != 0;
        const float z = top ? (heel ? 11.0f : 5.0f) : 0.0f;
        box.corners[i] = {x + (outer ? 4.2f : -4.2f), heel ? 6.0f : -17.0f, z};
        box.skins[i] = (top && heel) ? blend(s.foot, 0.7f, s.calf) : rigid(s.foot);
    }
    mesh.box(box);
}

void addNeck(MeshBuilder& mesh)
{
    Tube t;
    t.origin = {0, 0, 0};
    t.axis = {0, 0, 1};
    t.sideHint = kFrontAtQuarter;
    t.segments = 10;
    t.uv = kNeckSkin;
    t.rings = {
        {144, 5.5f, 5.5f, blend(kNeck, 0.5f, kSpine1)},
        {150, 5.2f, 5.2f, rigid(kNeck)},
        {157, 5.0f, 5.0f, blend(kHead, 0.5f, kNeck)},
    };
    mesh.tube(t);
}

void addHead(MeshBuilder& mesh)
{
    Tube t = cappedTube({0, 0, 0}, {0, 0, 1}, kFrontAtQuarter, 16, kFace, kHair);
    auto ring = [](float z, float r, Skin skin) { return Ring{z, r, r * 1.1f, skin}; };
    t.rings = {
        ring(154, 5.8f, blend(kHead, 0.5f, kNeck)),
        ring(157, 7.8f, rigid(kHead)),
        ring(161, 8.8f, rigid(kHead)),
        ring(166, 9.2f, rigid(kHead)),
        ring(171, 9.2f, rigid(kHead)),
        ring(176, 8.2f, rigid(kHead)),
        ring(179.5f, 5.8f, rigid(kHead)),
        ring(181, 2.5f, rigid(kHead)),
    };
    mesh.tube(t);

    // A nose shows at a glance which way the hero faces.
    mesh.box(makeBox({0, -10.6f, 164.5f}, {1.1f, 0, 0}, {0, 1.4f, 0}, {0, 0, 2.0f}, rigid(kHead), kSkinPatch));
}

void addHand(MeshBuilder& mesh, const Side& s)
{
    Box box;
    box.uv = kSkinPatch;
    const Vector3 lateral = vec3Normalize(vec3Cross(armAxis(s), {0, 1, 0}));
    for (int i = 0; i < 8; ++i) {
        const bool far = (i & 1) != 0;
        Vector3 p = alongArm(s, far ? kHandEndAt : kWristAt - 2.0f);
        p = vec3Add(p, {0, (i & 2) ? 3.8f : -3.8f, 0});
        p = vec3Add(p, vec3Scale(lateral, (i & 4) ? 1.7f : -1.7f));
        box.corners[i] = p;
        box.skins[i] = far ? rigid(s.hand) : blend(s.hand, 0.7f, s.forearm);
    }
    mesh.box(box);
}

} // namespace


SmdDocument buildHero()
{
    SmdDocument doc;
    doc.nodes = heroNodes();
    std::vector<SampleKey> bind;
    for (const Matrix& local : bindLocals()) bind.push_back(keyFromLocalMatrix(local));
    doc.frames.push_back(bind);

    // Body first, then the skin-coloured parts: two material runs.
    MeshBuilder mesh(doc);
    mesh.setMaterial("hero_body.png");
    addTorso(mesh);
    for (const Side& s : kSides) addArm(mesh, s);
    for (const Side& s : kSides) {
        addLeg(mesh, s);
        addFoot(mesh, s);
    }
    mesh.setMaterial("hero_head.png");
    addNeck(mesh);
    addHead(mesh);
    for (const Side& s : kSides) addHand(mesh, s);
    return scaled(std::move(doc));
}


SmdDocument buildWeapon()
{
    SmdDocument doc;
    doc.nodes.push_back({"Weapon", -1});
    // The viewer binds a weapon with the inverse of the hand's bind matrix,
    // so the sword is modelled where the hero's left fist is; its bone sits
    // in the middle of the grip.
    const Vector3 grip = alongArm(kSides[0], kGripAt);
    SampleKey key;
    key.x = grip.x;
    key.y = grip.y;
    key.z = grip.z;
    doc.frames.push_back({key});

    MeshBuilder mesh(doc);
    mesh.setMaterial("weapon.png");
    const Vector3 axis = vec3Normalize({0, -1, 0.35f}); // forward and a little up
    const Vector3 across = {1, 0, 0};
    const Vector3 up = vec3Cross(axis, across);
    const Skin skin = rigid(0);

    mesh.box(makeBox(vec3Add(grip, vec3Scale(axis, -7.5f)), vec3Scale(axis, 1.5f), vec3Scale(across, 1.8f), vec3Scale(up, 1.8f), skin, kGoldLow));

    Tube handle = cappedTube(grip, axis, across, 8, kLeather, kLeather);
    handle.rings = {{-6, 1.5f, 1.5f, skin}, {0, 1.6f, 1.6f, skin}, {5.5f, 1.5f, 1.5f, skin}};
    mesh.tube(handle);

    mesh.box(makeBox(vec3Add(grip, vec3Scale(axis, 6.5f)), vec3Scale(axis, 1.0f), vec3Scale(across, 2.0f), vec3Scale(up, 9.0f), skin, kGoldHigh));

    // Diamond section: thin across, wide up and down, faceted.
    Tube blade;
    blade.origin = grip;
    blade.axis = axis;
    blade.sideHint = across;
    blade.segments = 4;
    blade.flat = true;
    blade.uv = kBlade;
    blade.endCap = Cap::Point;
    blade.tipLength = 11.0f;
    blade.rings = {{7.5f, 0.8f, 2.8f, skin}, {40, 0.7f, 2.6f, skin}, {68, 0.6f, 2.2f, skin}};
    mesh.tube(blade);
    return scaled(std::move(doc));
}

} // namespace veskar::sample
