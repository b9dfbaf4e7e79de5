// Animating skeletons: 1,000 skeletons of 30 nodes, each blending two base animations, are
// animated and evaluated frame after frame; the floor is a plain loop doing the same number
// of 4x4 matrix products in the same run. Prints nodes evaluated per second for both and the
// ratio (goal: within 3x of the floor).
#include <stdio.h>

#include <memory>
#include <vector>

#include "AnimationTestSupport.h"
#include "BenchStats.h"
#include "engine/object/CGameTimer.h"
#include "engine/render/CHierarchyAnimator.h"
#include "engine/render/CRender.h"
#include "engine/render/CRenderer.h"

namespace {

const int kSkeletons = 1000;
const int kNodes = 30;
const int kFrames = 20;
const int kRuns = 5;

AnimSpec Spec(unsigned long turn, float fadeIn, float lift)
{
    AnimSpec spec;
    spec.Channels = kNodes;
    spec.FadeIn = fadeIn;
    spec.KeyTimes = {0.0f, 0.5f, 1.0f, 100.0f};
    spec.Positions = {CVector(0, 0, 0), CVector(0, 0, lift), CVector(0, 0, 0), CVector(0, 0, 0)};
    for (int k = 0; k < 4; ++k)
        for (int c = 0; c < kNodes; ++c)
            spec.Rots.push_back(Packed(turn * k + c, 3 * c, turn * k));
    return spec;
}

} // namespace

int main()
{
    std::vector<TestSkeleton::Node> chain(kNodes);
    for (int n = 0; n < kNodes; ++n)
        chain[n].Points = {{CVector(0, 0, 1), "Joint", n + 1 < kNodes ? n + 1 : -1}};
    TestSkeleton skeleton(chain, nullptr);
    AnimSpec walkSpec = Spec(7, 0.0f, 0.2f), waveSpec = Spec(11, 1000.0f, 0.1f);
    walkSpec.Skeleton = waveSpec.Skeleton = skeleton.Get();
    TestAnimation walk(walkSpec), wave(waveSpec);

    std::vector<CVector> places(kSkeletons), turns(kSkeletons);
    std::unique_ptr<CRender[]> renders(new CRender[kSkeletons]);
    for (int i = 0; i < kSkeletons; ++i) {
        places[i] = CVector(float(i % 40), float(i / 40), 0);
        renders[i].Attach(&places[i], &turns[i], nullptr, nullptr);
        renders[i].Attach(skeleton.Get(), 0);
        renders[i].Attach(walk.Get(), nullptr, 1.0f, 0);
        renders[i].Attach(wave.Get(), nullptr, 1.0f, 0);
    }
    CGameTimer::tFrameTime = 1.0f / 60;
    CVector sink(0, 0, 0);
    auto animate = [&]() {
        for (int f = 0; f < kFrames; ++f) {
            ++CRenderer::FrameNumber;
            for (int i = 0; i < kSkeletons; ++i) {
                renders[i].Animate();
                CVector tip;
                renders[i].GetNodePos(kNodes - 1, tip);
                sink.x += tip.x;
            }
        }
    };
    std::vector<CMatrix> matrices(kNodes + 1);
    for (CMatrix& m : matrices)
        m.SetEuler_XYZS(CVector(0, 0, 1), CVector(0.01f, 0.02f, 0.03f));
    auto floor = [&]() {
        for (int f = 0; f < kFrames; ++f)
            for (int i = 0; i < kSkeletons; ++i) {
                CMatrix chainMatrix = matrices[0];
                for (int n = 1; n <= kNodes; ++n) {
                    CMatrix next;
                    next.Multiply(matrices[n], chainMatrix);
                    chainMatrix = next;
                }
                sink.y += chainMatrix.m12;
            }
    };
    animate(); // warm up
    BenchTimes ours, peer;
    for (int run = 0; run < kRuns; ++run) {
        ours.Add(TimeOnce(animate));
        peer.Add(TimeOnce(floor));
    }
    const double nodes = double(kSkeletons) * kNodes * kFrames;
    const double oursRate = nodes / ours.Median(), peerRate = nodes / peer.Median();
    printf("%d skeletons of %d nodes, two blended animations each, %d frames, median of %d runs\n", kSkeletons, kNodes,
           kFrames, kRuns);
    printf("animate + evaluate : %12.0f nodes/s\n", oursRate);
    printf("matrix products    : %12.0f products/s (floor)\n", peerRate);
    printf("ratio floor/ours   : %.2fx (goal: within 3x)\n", peerRate / oursRate);
    printf("(checksum %g)\n", double(sink.x + sink.y));
    for (int i = 0; i < kSkeletons; ++i)
        renders[i].Attach(static_cast<CRendResource*>(nullptr), 0);
    return 0;
}
