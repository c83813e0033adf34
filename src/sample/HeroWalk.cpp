// The treadmill walk: legs and arms swing on one sine, the pelvis drops so
// the planted foot stays on the ground, and the last frame leads back into
// the first.

#include "sample/HeroSkeleton.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace veskar::sample {


SmdDocument buildWalk(int frameCount)
{
    SmdDocument doc;
    doc.nodes = heroNodes();
    const std::vector<Matrix> bind = bindLocals();
    const int frames = std::max(frameCount, 2);

    for (int f = 0; f < frames; ++f) {
        // Frame f + frames would be frame f again, so playback wraps without
        // a held pose at the seam.
        const float phase = 2.0f * kPi * static_cast<float>(f) / static_cast<float>(frames);
        std::vector<Matrix> delta(kBoneCount);
        for (int i = 0; i < 2; ++i) {
            const Side& s = kSides[i];
            const float legPhase = phase + (i == 0 ? 0.0f : kPi);
            // About +X a positive angle swings a hanging limb back and a
            // raised one forward (the hero faces -Y).
            const float forward = 0.42f * std::sin(legPhase);
            const float kneeOpen = 0.5f + 0.5f * std::cos(legPhase + 0.35f);
            const float knee = 0.06f + 0.75f * kneeOpen * kneeOpen;
            delta[s.thigh] = matrixRotationX(-forward);
            delta[s.calf] = matrixRotationX(knee);
            delta[s.foot] = matrixRotationX((forward - knee) * 0.85f);
            const float armForward = -0.32f * std::sin(legPhase);
            delta[s.upperArm] = matrixRotationX(-armForward);
            delta[s.forearm] = matrixRotationX(-(0.25f + 0.2f * (0.5f - 0.5f * std::sin(legPhase))));
            delta[s.hand] = matrixRotationX(0.08f * std::sin(legPhase));
        }
        delta[kPelvis] = matrixRotationZ(0.06f * std::sin(phase));
        delta[kSpine] = matrixRotationX(0.05f);
        delta[kSpine1] = matrixRotationZ(-0.10f * std::sin(phase));
        delta[kHead] = matrixMultiply(matrixRotationX(-0.04f), matrixRotationZ(0.04f * std::sin(phase)));

        std::vector<Matrix> local(kBoneCount);
        for (int b = 0; b < kBoneCount; ++b) local[b] = matrixMultiply(delta[b], bind[b]);

        // Bip01 stays put; the pelvis drops so the lower ankle keeps its bind
        // height and the planted foot stays on the ground.
        std::vector<SampleKey> keys;
        for (const Matrix& m : local) keys.push_back(keyFromLocalMatrix(m));
        const std::vector<Matrix> world = composeWorld(doc.nodes, keys);
        const float lowest = std::min(world[kLFoot].m[3][2], world[kRFoot].m[3][2]);
        local[kPelvis].m[3][2] += kAnkleHeight - lowest;
        keys[kPelvis] = keyFromLocalMatrix(local[kPelvis]);
        doc.frames.push_back(keys);
    }
    return scaled(std::move(doc));
}

} // namespace veskar::sample
